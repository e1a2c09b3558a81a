#include "import/tiff/directory.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "imaging/stream.h"

namespace qel::tiff {

namespace {

constexpr std::size_t kEntrySize = 12;

bool IsIntegerType(std::uint16_t type) {
  switch (FieldType(type)) {
    case FieldType::kByte:
    case FieldType::kShort:
    case FieldType::kLong:
    case FieldType::kSByte:
    case FieldType::kSShort:
    case FieldType::kSLong:
    case FieldType::kIfd:
      return true;
    default:
      return false;
  }
}

bool IsNumericType(std::uint16_t type) {
  switch (FieldType(type)) {
    case FieldType::kRational:
    case FieldType::kSRational:
    case FieldType::kFloat:
    case FieldType::kDouble:
      return true;
    default:
      return IsIntegerType(type);
  }
}

bool IsByteType(std::uint16_t type) {
  switch (FieldType(type)) {
    case FieldType::kByte:
    case FieldType::kAscii:
    case FieldType::kSByte:
    case FieldType::kUndefined:
      return true;
    default:
      return false;
  }
}

}  // namespace

unsigned FieldTypeSize(std::uint16_t type) {
  switch (FieldType(type)) {
    case FieldType::kByte:
    case FieldType::kAscii:
    case FieldType::kSByte:
    case FieldType::kUndefined:
      return 1;
    case FieldType::kShort:
    case FieldType::kSShort:
      return 2;
    case FieldType::kLong:
    case FieldType::kSLong:
    case FieldType::kFloat:
    case FieldType::kIfd:
      return 4;
    case FieldType::kRational:
    case FieldType::kSRational:
    case FieldType::kDouble:
      return 8;
  }
  return 0;
}

bool ReadTIFFHeader(TStream& stream, TIFFHeader& header) {
  std::uint8_t bytes[kHeaderSize];
  if (stream.Read(bytes, kHeaderSize) != kHeaderSize) return false;
  if (bytes[0] == 'I' && bytes[1] == 'I') {
    header.big_endian = false;
    header.version = std::uint16_t(bytes[2] | (bytes[3] << 8));
    header.first_ifd = std::uint32_t(bytes[4]) | (std::uint32_t(bytes[5]) << 8) |
                       (std::uint32_t(bytes[6]) << 16) | (std::uint32_t(bytes[7]) << 24);
    return true;
  }
  if (bytes[0] == 'M' && bytes[1] == 'M') {
    header.big_endian = true;
    header.version = std::uint16_t((bytes[2] << 8) | bytes[3]);
    header.first_ifd = (std::uint32_t(bytes[4]) << 24) | (std::uint32_t(bytes[5]) << 16) |
                       (std::uint32_t(bytes[6]) << 8) | std::uint32_t(bytes[7]);
    return true;
  }
  return false;
}

std::uint16_t TTIFFDirectory::Load16(const std::uint8_t* p) const {
  return big_endian_ ? std::uint16_t((p[0] << 8) | p[1]) : std::uint16_t(p[0] | (p[1] << 8));
}

std::uint32_t TTIFFDirectory::Load32(const std::uint8_t* p) const {
  if (big_endian_)
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           std::uint32_t(p[3]);
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}

bool TTIFFDirectory::Read(TStream& stream, std::uint64_t base, std::uint32_t offset, bool big_endian) {
  entries_.clear();
  next_offset_ = 0;
  base_ = base;
  big_endian_ = big_endian;

  const std::uint64_t size = stream.Size();
  const std::uint64_t start = base + offset;
  if (offset == 0 || start + 2 > size) return false;
  stream.SetPosition(start);
  std::uint8_t count_bytes[2];
  stream.ReadBuffer(count_bytes, 2);
  const std::size_t count = Load16(count_bytes);
  if (count == 0 || start + 2 + count * kEntrySize > size) return false;

  std::vector<std::uint8_t> raw(count * kEntrySize);
  stream.ReadBuffer(raw.data(), raw.size());
  entries_.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* p = raw.data() + i * kEntrySize;
    DirectoryEntry entry;
    entry.tag = Load16(p);
    entry.type = Load16(p + 2);
    entry.count = Load32(p + 4);
    std::memcpy(entry.field.data(), p + 8, 4);
    entries_.push_back(entry);
  }
  std::stable_sort(entries_.begin(), entries_.end(),
                   [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.tag < b.tag; });

  // Some writers end the file right after the last entry; that is the end of the chain.
  std::uint8_t next[4];
  if (stream.Read(next, 4) == 4) next_offset_ = Load32(next);
  return true;
}

const DirectoryEntry* TTIFFDirectory::Find(std::uint16_t tag) const {
  const auto it = std::lower_bound(entries_.begin(), entries_.end(), tag,
                                   [](const DirectoryEntry& e, std::uint16_t t) { return e.tag < t; });
  return it != entries_.end() && it->tag == tag ? &*it : nullptr;
}

std::uint32_t TTIFFDirectory::TagValue(std::uint16_t tag, std::uint32_t def) const {
  const DirectoryEntry* e = Find(tag);
  if (e == nullptr || e->count != 1) return def;
  switch (FieldType(e->type)) {
    case FieldType::kByte:
      return e->field[0];
    case FieldType::kShort:
    case FieldType::kSShort:
      return Load16(e->field.data());
    case FieldType::kLong:
    case FieldType::kSLong:
      return Load32(e->field.data());
    default:
      return def;
  }
}

std::uint32_t TTIFFDirectory::TagOffset(std::uint16_t tag, std::uint32_t& count, std::uint32_t def) const {
  const DirectoryEntry* e = Find(tag);
  count = e ? e->count : 0;
  if (e == nullptr) return def;
  if (e->count > 1) return Load32(e->field.data());
  return TagValue(tag, def);
}

std::vector<std::uint8_t> TTIFFDirectory::ValueBytes(TStream& stream, const DirectoryEntry& entry) const {
  const unsigned type_size = FieldTypeSize(entry.type);
  const std::uint64_t length = std::uint64_t(entry.count) * type_size;
  if (type_size == 0 || length == 0) return {};
  if (length <= 4) return std::vector<std::uint8_t>(entry.field.begin(), entry.field.begin() + length);
  const std::uint64_t start = base_ + Load32(entry.field.data());
  if (start > stream.Size() || length > stream.Size() - start) return {};
  stream.SetPosition(start);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
  stream.ReadBuffer(bytes.data(), bytes.size());
  return bytes;
}

std::uint32_t TTIFFDirectory::IntegerAt(const std::uint8_t* bytes, std::uint16_t type, std::size_t i) const {
  switch (FieldType(type)) {
    case FieldType::kByte:
    case FieldType::kSByte:
      return bytes[i];
    case FieldType::kShort:
    case FieldType::kSShort:
      return Load16(bytes + 2 * i);
    default:
      return Load32(bytes + 4 * i);
  }
}

bool TTIFFDirectory::NumberAt(const std::uint8_t* bytes, std::uint16_t type, std::size_t i,
                              double& value) const {
  switch (FieldType(type)) {
    case FieldType::kSByte:
      value = std::int8_t(bytes[i]);
      return true;
    case FieldType::kSShort:
      value = std::int16_t(Load16(bytes + 2 * i));
      return true;
    case FieldType::kSLong:
      value = std::int32_t(Load32(bytes + 4 * i));
      return true;
    case FieldType::kRational:
    case FieldType::kSRational: {
      const std::uint32_t num = Load32(bytes + 8 * i);
      const std::uint32_t den = Load32(bytes + 8 * i + 4);
      if (den == 0) return false;
      value = FieldType(type) == FieldType::kRational ? double(num) / double(den)
                                                      : double(std::int32_t(num)) / double(std::int32_t(den));
      return true;
    }
    case FieldType::kFloat:
      value = std::bit_cast<float>(Load32(bytes + 4 * i));
      return true;
    case FieldType::kDouble: {
      const std::uint64_t hi = Load32(bytes + 8 * i + (big_endian_ ? 0 : 4));
      const std::uint64_t lo = Load32(bytes + 8 * i + (big_endian_ ? 4 : 0));
      value = std::bit_cast<double>((hi << 32) | lo);
      return true;
    }
    default:
      if (!IsIntegerType(type)) return false;
      value = IntegerAt(bytes, type, i);
      return true;
  }
}

std::vector<std::uint32_t> TTIFFDirectory::TagArray(TStream& stream, std::uint16_t tag) const {
  const DirectoryEntry* e = Find(tag);
  if (e == nullptr || !IsIntegerType(e->type)) return {};
  const std::vector<std::uint8_t> bytes = ValueBytes(stream, *e);
  if (bytes.empty()) return {};
  std::vector<std::uint32_t> values(e->count);
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = IntegerAt(bytes.data(), e->type, i);
  return values;
}

std::vector<std::uint8_t> TTIFFDirectory::TagBytes(TStream& stream, std::uint16_t tag) const {
  const DirectoryEntry* e = Find(tag);
  if (e == nullptr) return {};
  if (IsByteType(e->type)) return ValueBytes(stream, *e);
  std::vector<std::uint8_t> bytes;
  for (const std::uint32_t v : TagArray(stream, tag)) bytes.push_back(std::uint8_t(v));
  return bytes;
}

float TTIFFDirectory::TagFloat(TStream& stream, std::uint16_t tag, float def) const {
  const DirectoryEntry* e = Find(tag);
  if (e == nullptr || e->count != 1) return def;
  const std::vector<std::uint8_t> bytes = ValueBytes(stream, *e);
  double value = 0;
  if (bytes.empty() || !NumberAt(bytes.data(), e->type, 0, value)) return def;
  return float(value);
}

std::vector<float> TTIFFDirectory::TagFloats(TStream& stream, std::uint16_t tag) const {
  const DirectoryEntry* e = Find(tag);
  if (e == nullptr || !IsNumericType(e->type)) return {};
  const std::vector<std::uint8_t> bytes = ValueBytes(stream, *e);
  if (bytes.empty()) return {};
  std::vector<float> values(e->count);
  for (std::size_t i = 0; i < values.size(); ++i) {
    double value = 0;
    values[i] = NumberAt(bytes.data(), e->type, i, value) ? float(value) : 0.0f;
  }
  return values;
}

}  // namespace qel::tiff
