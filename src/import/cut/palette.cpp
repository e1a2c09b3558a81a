#include "import/cut/palette.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>
#include <vector>

#include "imaging/errors.h"
#include "imaging/stream.h"

namespace qel {

namespace {

constexpr std::size_t kBlockSize = 512;
constexpr std::size_t kCountOffset = 12;
constexpr std::size_t kFirstEntryOffset = 40;
constexpr std::size_t kLastEntryStart = 506;
constexpr std::size_t kEntrySize = 6;
constexpr std::size_t kMaxEntries = 256;
// The first block holds 78 entries, the following ones 85 each: 256 entries fit in 4.
constexpr std::size_t kMaxFileBytes = 4 * kBlockSize;

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return s;
}

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::toupper(c)); });
  return s;
}

bool IsFile(const std::filesystem::path& p) {
  std::error_code ec;
  return std::filesystem::is_regular_file(p, ec);
}

}  // namespace

std::string FindCutPaletteFile(const std::string& image_path) {
  const std::filesystem::path path(image_path);
  const std::string stem = path.stem().string();
  const std::string ext = path.extension().string();
  const bool upper_ext = !ext.empty() && ext == Upper(ext) && ext != Lower(ext);
  const std::filesystem::path dir = path.parent_path();
  const std::vector<std::filesystem::path> candidates = {
      dir / (stem + (upper_ext ? ".PAL" : ".pal")),
      dir / (stem + (upper_ext ? ".pal" : ".PAL")),
      dir / (Lower(stem) + ".pal"),
      dir / (Upper(stem) + ".PAL"),
  };
  for (const auto& candidate : candidates) {
    if (IsFile(candidate)) return candidate.string();
  }
  return candidates.front().string();
}

std::optional<Palette> ReadCutPalette(const std::string& path) {
  std::vector<std::uint8_t> bytes(kMaxFileBytes);
  try {
    TFileStream stream(path, TFileStream::Mode::kRead);
    bytes.resize(stream.Read(bytes.data(), bytes.size()));
  } catch (const Error&) {
    return std::nullopt;
  }
  if (bytes.size() < kFirstEntryOffset) return std::nullopt;
  const std::size_t highest = std::size_t(bytes[kCountOffset] | (bytes[kCountOffset + 1] << 8));
  const std::size_t count = std::min(highest + 1, kMaxEntries);
  Palette palette;
  palette.reserve(count);
  std::size_t block = 0;
  std::size_t offset = kFirstEntryOffset;
  for (std::size_t i = 0; i < count; ++i) {
    if (offset > kLastEntryStart) {
      ++block;
      offset = 0;
    }
    const std::size_t at = block * kBlockSize + offset;
    if (at + kEntrySize > bytes.size()) break;
    palette.push_back(PaletteEntry{bytes[at], bytes[at + 2], bytes[at + 4], 0});
    offset += kEntrySize;
  }
  return palette;
}

}  // namespace qel
