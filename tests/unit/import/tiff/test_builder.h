// Builds small TIFF files byte by byte for the reader's tests: a header, one or more
// directories of entries, and data blocks whose offsets the entries can refer to.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/picture.h"
#include "imaging/picture_container.h"
#include "imaging/stream.h"
#include "import/tiff/reader.h"

namespace qel::test {

class TiffBuilder {
 public:
  static constexpr std::uint16_t kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kRational = 5, kSByte = 6,
                                 kUndefined = 7, kSShort = 8, kSLong = 9, kSRational = 10, kFloat = 11,
                                 kDouble = 12;

  explicit TiffBuilder(bool big_endian = false) : big_(big_endian) {}

  // Appends a data block (at an even offset) and returns its offset.
  std::uint32_t AddData(const std::vector<std::uint8_t>& bytes) {
    if (data_.size() % 2) data_.push_back(0);
    const std::uint32_t offset = std::uint32_t(kHeader + data_.size());
    data_.insert(data_.end(), bytes.begin(), bytes.end());
    return offset;
  }
  // Values in the file's byte order.
  std::vector<std::uint8_t> Shorts(const std::vector<std::uint32_t>& values) const {
    std::vector<std::uint8_t> out;
    for (auto v : values) Put(out, v, 2);
    return out;
  }
  std::vector<std::uint8_t> Longs(const std::vector<std::uint32_t>& values) const {
    std::vector<std::uint8_t> out;
    for (auto v : values) Put(out, v, 4);
    return out;
  }

  // An entry of the current directory. Values of up to 4 bytes go in the entry (left
  // aligned); longer ones are added as a data block.
  void Entry(std::uint16_t tag, std::uint16_t type, std::uint32_t count,
             const std::vector<std::uint8_t>& values) {
    RawEntry e{tag, type, count, {}};
    if (values.size() <= 4) {
      e.field = values;
      e.field.resize(4, 0);
    } else {
      e.field.clear();
      Put(e.field, AddData(values), 4);
    }
    dirs_.back().push_back(e);
  }
  // An entry whose value/offset field is given as it is (for lying offsets).
  void RawField(std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t field) {
    RawEntry e{tag, type, count, {}};
    Put(e.field, field, 4);
    dirs_.back().push_back(e);
  }
  void Short(std::uint16_t tag, std::uint32_t v) { Entry(tag, kShort, 1, Shorts({v})); }
  void Long(std::uint16_t tag, std::uint32_t v) { Entry(tag, kLong, 1, Longs({v})); }
  void ShortArray(std::uint16_t tag, const std::vector<std::uint32_t>& v) {
    Entry(tag, kShort, std::uint32_t(v.size()), Shorts(v));
  }
  void LongArray(std::uint16_t tag, const std::vector<std::uint32_t>& v) {
    Entry(tag, kLong, std::uint32_t(v.size()), Longs(v));
  }
  void Rational(std::uint16_t tag, std::uint32_t num, std::uint32_t den) {
    Entry(tag, kRational, 1, Longs({num, den}));
  }

  // Starts another directory (the first one exists from the start).
  void NextDirectory() { dirs_.emplace_back(); }

  // The usual tags of a strip image; strips are added as data blocks. A rows_per_strip
  // of 0 leaves tag 278 out.
  void Image(std::uint32_t width, std::uint32_t height, const std::vector<std::uint32_t>& bits,
             std::uint32_t compression, std::uint32_t photometric,
             const std::vector<std::vector<std::uint8_t>>& strips, std::uint32_t rows_per_strip) {
    Long(256, width);
    Long(257, height);
    ShortArray(258, bits);
    Short(259, compression);
    Short(262, photometric);
    std::vector<std::uint32_t> offsets, counts;
    for (const auto& s : strips) {
      offsets.push_back(AddData(s));
      counts.push_back(std::uint32_t(s.size()));
    }
    LongArray(273, offsets);
    Short(277, std::uint32_t(bits.size()));
    if (rows_per_strip) Long(278, rows_per_strip);
    LongArray(279, counts);
  }

  // The file: header, data blocks, then the directories chained in order (entries
  // written in the order given unless sorted is set).
  std::vector<std::uint8_t> Build(bool sorted = true) const {
    std::vector<std::uint8_t> out;
    out.push_back(big_ ? 'M' : 'I');
    out.push_back(big_ ? 'M' : 'I');
    Put(out, 42, 2);
    std::size_t first_ifd_at = out.size();
    Put(out, 0, 4);
    out.insert(out.end(), data_.begin(), data_.end());
    std::size_t link_at = first_ifd_at;
    for (auto entries : dirs_) {
      if (out.size() % 2) out.push_back(0);
      Patch(out, link_at, std::uint32_t(out.size()));
      if (sorted)
        std::stable_sort(entries.begin(), entries.end(),
                         [](const RawEntry& a, const RawEntry& b) { return a.tag < b.tag; });
      Put(out, std::uint32_t(entries.size()), 2);
      for (const auto& e : entries) {
        Put(out, e.tag, 2);
        Put(out, e.type, 2);
        Put(out, e.count, 4);
        out.insert(out.end(), e.field.begin(), e.field.end());
      }
      link_at = out.size();
      Put(out, 0, 4);
    }
    return out;
  }

 private:
  static constexpr std::size_t kHeader = 8;
  struct RawEntry {
    std::uint16_t tag;
    std::uint16_t type;
    std::uint32_t count;
    std::vector<std::uint8_t> field;
  };
  void Put(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes) const {
    for (int i = 0; i < bytes; ++i) out.push_back(std::uint8_t(v >> (8 * (big_ ? bytes - 1 - i : i))));
  }
  void Patch(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) const {
    std::vector<std::uint8_t> b;
    Put(b, v, 4);
    std::copy(b.begin(), b.end(), out.begin() + std::ptrdiff_t(at));
  }

  bool big_;
  std::vector<std::uint8_t> data_;
  std::vector<std::vector<RawEntry>> dirs_{1};
};

// Loads TIFF bytes with the reader into a 24-bit picture.
inline Picture LoadTiffBytes(const std::vector<std::uint8_t>& bytes, ProgressObserver* observer = nullptr) {
  TMemoryStream stream{std::span<const std::uint8_t>(bytes)};
  return LoadPictureStream(stream, TTIFFGraphic::StaticClass(), observer);
}

}  // namespace qel::test
