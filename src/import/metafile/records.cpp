#include "import/metafile/records.h"

#include <bit>
#include <cstring>
#include <string>

#include "imaging/errors.h"
#include "import/framework/messages.h"

namespace qel {

void ThrowInvalidMetafile(std::string_view format) {
  throw EInvalidGraphic(FormatMessage(msg::kInvalidImage, {format}));
}

void MetafileRecordReader::Seek(std::size_t position) {
  if (position > bytes_.size()) Fail();
  position_ = position;
}

std::uint8_t MetafileRecordReader::U8() {
  Need(1);
  return bytes_[position_++];
}

std::uint16_t MetafileRecordReader::U16() {
  Need(2);
  std::uint16_t v = LoadU16(&bytes_[position_]);
  position_ += 2;
  return v;
}

std::uint32_t MetafileRecordReader::U32() {
  Need(4);
  std::uint32_t v = LoadU32(&bytes_[position_]);
  position_ += 4;
  return v;
}

float MetafileRecordReader::F32() {
  return std::bit_cast<float>(U32());
}

std::span<const std::uint8_t> MetafileRecordReader::Bytes(std::size_t count) {
  Need(count);
  auto span = bytes_.subspan(position_, count);
  position_ += count;
  return span;
}

std::span<const std::uint8_t> MetafileRecordReader::At(std::size_t offset, std::size_t count) const {
  if (offset > bytes_.size() || count > bytes_.size() - offset) Fail();
  return bytes_.subspan(offset, count);
}

void MetafileRecordReader::Expect(std::uint64_t count, std::uint64_t item_size) const {
  // Both factors are at most 32 bits wide, so the product cannot overflow.
  if (count * item_size > Remaining()) Fail();
}

std::vector<PointD> ReadPoints(MetafileRecordReader& r, std::uint64_t count, bool small) {
  r.Expect(count, small ? 4 : 8);
  std::vector<PointD> points(count);
  for (PointD& p : points) {
    if (small) {
      p.x = r.I16();
      p.y = r.I16();
    } else {
      p.x = r.I32();
      p.y = r.I32();
    }
  }
  return points;
}

namespace {

constexpr std::uint16_t kWmfEndOfFile = 0x0000;
constexpr std::size_t kWmfRecordHeader = 6;
constexpr std::size_t kEmfRecordHeader = 8;
constexpr std::uint32_t kEmfEndOfFile = 14;

}  // namespace

bool WmfRecordWalker::Next(WmfRecord& record) {
  if (done_) return false;
  if (position_ > data_.size() || data_.size() - position_ < kWmfRecordHeader) {
    // The data ended before the end-of-file record: a truncated file.
    ThrowInvalidMetafile("WMF");
  }
  const std::uint8_t* p = data_.data() + position_;
  const std::uint64_t bytes = std::uint64_t(LoadU32(p)) * 2;
  if (bytes < kWmfRecordHeader || bytes > data_.size() - position_) ThrowInvalidMetafile("WMF");
  record.function = LoadU16(p + 4);
  record.params = data_.subspan(position_ + kWmfRecordHeader, std::size_t(bytes) - kWmfRecordHeader);
  position_ += std::size_t(bytes);
  if (record.function == kWmfEndOfFile) done_ = true;
  return true;
}

bool EmfRecordWalker::Next(EmfRecord& record) {
  if (done_) return false;
  if (position_ > data_.size() || data_.size() - position_ < kEmfRecordHeader) ThrowInvalidMetafile("EMF");
  const std::uint8_t* p = data_.data() + position_;
  const std::uint32_t size = LoadU32(p + 4);
  if (size < kEmfRecordHeader || size % 4 != 0 || size > data_.size() - position_)
    ThrowInvalidMetafile("EMF");
  record.type = LoadU32(p);
  record.bytes = data_.subspan(position_, size);
  position_ += size;
  if (record.type == kEmfEndOfFile) done_ = true;
  return true;
}

}  // namespace qel
