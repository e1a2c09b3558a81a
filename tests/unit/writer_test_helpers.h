// Helpers of the writer tests: pictures to write, a stream that fails, and readers of
// the PNG chunk list and the GIF block structure for byte-level checks.
#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "imaging/errors.h"
#include "imaging/picture.h"
#include "imaging/stream.h"
#include "support/test_support.h"

namespace qel::test {

// Colours that compress badly: every byte from a seeded generator.
inline Picture NoisePicture(int width, int height, unsigned seed = 1) {
  std::mt19937 rng(seed);
  Picture picture = NewPicture(width, height, kNoColor);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) picture.SetPixel(x, y, rng() & 0xFFFFFF);
  return picture;
}

// ImageMagick's decode (alpha dropped: transparent pixels show their stored colour).
inline std::optional<Picture> MagickDecode(const std::filesystem::path& file) {
  return PeerDecode("sh -c '/usr/bin/convert \"$0\" -alpha off -depth 8 ppm:\"$1\"'", file);
}

// Takes the first `capacity` bytes, then refuses like a full disk.
class FailingStream : public TMemoryStream {
 public:
  explicit FailingStream(std::size_t capacity) : capacity_(capacity) {}
  void Write(const void* buffer, std::size_t count) override {
    if (written_ + count > capacity_) throw EWriteError("Stream write error: No space left on device");
    written_ += count;
    TMemoryStream::Write(buffer, count);
  }

 private:
  std::size_t capacity_;
  std::size_t written_ = 0;
};

struct PngChunk {
  std::string type;
  std::vector<std::uint8_t> data;
};

inline std::uint32_t BigEndian32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return std::uint32_t(bytes[at]) << 24 | std::uint32_t(bytes[at + 1]) << 16 |
         std::uint32_t(bytes[at + 2]) << 8 | bytes[at + 3];
}

// The chunks of a PNG file; nullopt when the signature or a chunk's length is wrong.
inline std::optional<std::vector<PngChunk>> ReadPngChunks(std::span<const std::uint8_t> bytes) {
  static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (bytes.size() < 8 || !std::equal(kSignature, kSignature + 8, bytes.begin())) return std::nullopt;
  std::vector<PngChunk> chunks;
  std::size_t at = 8;
  while (at < bytes.size()) {
    if (bytes.size() - at < 12) return std::nullopt;
    const std::uint32_t length = BigEndian32(bytes, at);
    if (bytes.size() - at - 12 < length) return std::nullopt;
    PngChunk chunk;
    chunk.type.assign(bytes.begin() + std::ptrdiff_t(at + 4), bytes.begin() + std::ptrdiff_t(at + 8));
    chunk.data.assign(bytes.begin() + std::ptrdiff_t(at + 8),
                      bytes.begin() + std::ptrdiff_t(at + 8 + length));
    chunks.push_back(std::move(chunk));
    at += 12 + length;
  }
  return chunks;
}

// What a GIF file holds, block by block.
struct GifLayout {
  std::string version;  // "87a" or "89a"
  int screen_width = 0, screen_height = 0;
  bool global_table = false;
  int frames = 0;
  bool graphic_control = false;
  bool transparent_flag = false;
  int transparent_index = -1;
  int left = -1, top = -1, width = 0, height = 0;
  bool local_table = false;
  bool interlaced = false;
  bool sorted = false;
  std::vector<std::uint8_t> local_colors;  // red, green, blue triples as stored
  bool trailer = false;
  bool trailing_bytes = false;
};

// Walks the blocks of a GIF file; nullopt when the structure is broken.
inline std::optional<GifLayout> ReadGifLayout(std::span<const std::uint8_t> b) {
  GifLayout g;
  if (b.size() < 13 || std::string(b.begin(), b.begin() + 3) != "GIF") return std::nullopt;
  g.version.assign(b.begin() + 3, b.begin() + 6);
  g.screen_width = b[6] | b[7] << 8;
  g.screen_height = b[8] | b[9] << 8;
  g.global_table = (b[10] & 0x80) != 0;
  std::size_t at = 13;
  if (g.global_table) at += 3 * (std::size_t(2) << (b[10] & 7));
  auto skip_sub_blocks = [&]() -> bool {
    while (at < b.size()) {
      const std::size_t n = b[at++];
      if (n == 0) return true;
      at += n;
    }
    return false;
  };
  while (at < b.size()) {
    const std::uint8_t introducer = b[at++];
    if (introducer == 0x3B) {
      g.trailer = true;
      g.trailing_bytes = at != b.size();
      return g;
    }
    if (introducer == 0x21) {
      if (at + 1 >= b.size()) return std::nullopt;
      const std::uint8_t label = b[at++];
      if (label == 0xF9 && b[at] == 4 && at + 5 < b.size()) {
        g.graphic_control = true;
        g.transparent_flag = (b[at + 1] & 1) != 0;
        g.transparent_index = b[at + 4];
      }
      if (!skip_sub_blocks()) return std::nullopt;
    } else if (introducer == 0x2C) {
      if (at + 9 > b.size()) return std::nullopt;
      ++g.frames;
      g.left = b[at] | b[at + 1] << 8;
      g.top = b[at + 2] | b[at + 3] << 8;
      g.width = b[at + 4] | b[at + 5] << 8;
      g.height = b[at + 6] | b[at + 7] << 8;
      const std::uint8_t packed = b[at + 8];
      at += 9;
      g.local_table = (packed & 0x80) != 0;
      g.interlaced = (packed & 0x40) != 0;
      g.sorted = (packed & 0x20) != 0;
      if (g.local_table) {
        const std::size_t size = 3 * (std::size_t(2) << (packed & 7));
        if (at + size > b.size()) return std::nullopt;
        g.local_colors.assign(b.begin() + std::ptrdiff_t(at), b.begin() + std::ptrdiff_t(at + size));
        at += size;
      }
      ++at;  // LZW minimum code size
      if (!skip_sub_blocks()) return std::nullopt;
    } else {
      return std::nullopt;
    }
  }
  return std::nullopt;  // no trailer
}

}  // namespace qel::test
