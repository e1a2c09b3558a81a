// Bounds-checked access to the bytes of metafile records, and the walkers that cut a
// Windows metafile (16-bit records) or an enhanced metafile (32-bit records) into
// records. Every read is checked against the record it belongs to, and every record
// against the file, so a lying length can only end in EInvalidGraphic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "import/metafile/geometry.h"

namespace qel {

// Throws EInvalidGraphic "Cannot load image. Invalid or unexpected <format> image format."
[[noreturn]] void ThrowInvalidMetafile(std::string_view format);

// A little-endian reader over one record's bytes.
class MetafileRecordReader {
 public:
  MetafileRecordReader(std::span<const std::uint8_t> bytes, std::string_view format)
      : bytes_(bytes), format_(format) {}

  std::size_t Size() const { return bytes_.size(); }
  std::size_t Position() const { return position_; }
  std::size_t Remaining() const { return bytes_.size() - position_; }
  void Seek(std::size_t position);
  void Skip(std::size_t count) { Seek(position_ + Need(count)); }

  std::uint8_t U8();
  std::uint16_t U16();
  std::int16_t I16() { return static_cast<std::int16_t>(U16()); }
  std::uint32_t U32();
  std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
  float F32();
  // The next count bytes.
  std::span<const std::uint8_t> Bytes(std::size_t count);
  // count bytes at an absolute offset of the record (the position is not moved).
  std::span<const std::uint8_t> At(std::size_t offset, std::size_t count) const;
  // Fails unless count items of item_size bytes remain.
  void Expect(std::uint64_t count, std::uint64_t item_size) const;

  [[noreturn]] void Fail() const { ThrowInvalidMetafile(format_); }
  std::string_view Format() const { return format_; }

 private:
  std::size_t Need(std::size_t count) const {
    if (count > Remaining()) Fail();
    return count;
  }

  std::span<const std::uint8_t> bytes_;
  std::string_view format_;
  std::size_t position_ = 0;
};

// count points of two signed coordinates each, x first: 16-bit ones when small, else
// 32-bit ones. Fails unless they all lie in the record.
std::vector<PointD> ReadPoints(MetafileRecordReader& r, std::uint64_t count, bool small);

// One record of a Windows metafile: its function number and its parameter words.
struct WmfRecord {
  std::uint16_t function = 0;
  std::span<const std::uint8_t> params;  // the bytes after the 6-byte record header
};

// Walks the records of a Windows metafile from the first record after the header.
// Next() answers false after the end-of-file record; a record whose size is below the
// header's, runs past the data, or a file that ends without an end-of-file record fails.
class WmfRecordWalker {
 public:
  WmfRecordWalker(std::span<const std::uint8_t> data, std::size_t first_record)
      : data_(data), position_(first_record) {}
  bool Next(WmfRecord& record);

 private:
  std::span<const std::uint8_t> data_;
  std::size_t position_;
  bool done_ = false;
};

// One record of an enhanced metafile: its type and all of its bytes, header included.
struct EmfRecord {
  std::uint32_t type = 0;
  std::span<const std::uint8_t> bytes;
};

// Walks the records of an enhanced metafile from the header record on. Next() answers
// false after EMR_EOF; sizes below 8, not a multiple of 4 or running past the data fail,
// as does data that ends without EMR_EOF.
class EmfRecordWalker {
 public:
  explicit EmfRecordWalker(std::span<const std::uint8_t> data) : data_(data) {}
  bool Next(EmfRecord& record);

 private:
  std::span<const std::uint8_t> data_;
  std::size_t position_ = 0;
  bool done_ = false;
};

inline std::uint16_t LoadU16(const std::uint8_t* p) {
  return std::uint16_t(p[0] | (p[1] << 8));
}
inline std::uint32_t LoadU32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}

}  // namespace qel
