#include "import/png/chunks.h"

#include <algorithm>

#include "imaging/errors.h"
#include "imaging/stream.h"
#include "import/codecs/checksums.h"
#include "import/framework/messages.h"

namespace qel {

namespace {

[[noreturn]] void Fail(const char* pattern) {
  throw EInvalidGraphic(FormatMessage(pattern, {"PNG"}));
}

// Bytes a skipped chunk is read in when its CRC is checked.
constexpr std::size_t kSkipPiece = 64 * 1024;

}  // namespace

bool PngChunkType::Is(std::string_view name) const {
  if (name.size() != letters.size()) return false;
  for (std::size_t i = 0; i < letters.size(); ++i) {
    if ((letters[i] | 0x20) != (std::uint8_t(name[i]) | 0x20)) return false;
  }
  return true;
}

std::uint64_t PngChunkReader::StreamRemaining() const {
  return stream_.Remaining();
}

bool PngChunkReader::TryReadHeader() {
  crc_pending_ = false;
  left_ = length_ = 0;
  if (stream_.Remaining() < kPngChunkHeaderSize + kPngChunkCrcSize) return false;
  const std::uint64_t start = stream_.Position();
  const std::uint32_t length = stream_.ReadU32BE();
  PngChunkType type;
  stream_.ReadBuffer(type.letters.data(), type.letters.size());
  cut_ = false;
  if (length <= kPngMaxChunkLength && type.Is("IDAT") &&
      stream_.Remaining() < std::uint64_t(length) + kPngChunkCrcSize) {
    // Image data cut off by the end of the file: what there is of it, unchecked.
    type_ = type;
    length_ = length;
    left_ = std::uint32_t(std::min<std::uint64_t>(length, stream_.Remaining()));
    cut_ = true;
    return true;
  }
  if (length > kPngMaxChunkLength || stream_.Remaining() < std::uint64_t(length) + kPngChunkCrcSize) {
    stream_.SetPosition(start);
    return false;
  }
  type_ = type;
  length_ = left_ = length;
  crc_ = Crc32(type_.letters);
  crc_pending_ = true;
  return true;
}

void PngChunkReader::ReadHeader() {
  if (!TryReadHeader()) Fail(msg::kStreamReadError);
}

std::size_t PngChunkReader::ReadSome(std::span<std::uint8_t> out) {
  const std::size_t count = std::min<std::size_t>(out.size(), left_);
  if (count > 0) {
    stream_.ReadBuffer(out.data(), count);
    crc_ = Crc32(out.first(count), crc_);
    left_ -= std::uint32_t(count);
  }
  if (left_ == 0) CheckCrc();
  return count;
}

std::vector<std::uint8_t> PngChunkReader::ReadData() {
  std::vector<std::uint8_t> data(left_);
  ReadSome(data);
  return data;
}

void PngChunkReader::SkipChecked() {
  std::vector<std::uint8_t> piece(std::min<std::size_t>(left_, kSkipPiece));
  do {
    ReadSome(piece);
  } while (left_ > 0);
}

void PngChunkReader::Skip() {
  if (!crc_pending_) return;
  stream_.Skip(std::int64_t(left_) + std::int64_t(kPngChunkCrcSize));
  left_ = 0;
  crc_pending_ = false;
}

void PngChunkReader::CheckCrc() {
  if (!crc_pending_) return;
  crc_pending_ = false;
  if (stream_.ReadU32BE() != crc_) Fail(msg::kImageCRCError);
}

}  // namespace qel
