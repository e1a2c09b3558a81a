// The structure of a TIFF file: the 8-byte header and the image file directories
// (IFDs) with typed access to their tags. Every value read from outside a directory
// entry is checked against the stream first; an entry whose values lie outside the
// file reads as if the tag were missing, so callers never see a short read.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace qel {

class TStream;

namespace tiff {

// Tag numbers the reader looks at.
namespace Tag {
inline constexpr std::uint16_t kImageWidth = 256;
inline constexpr std::uint16_t kImageLength = 257;
inline constexpr std::uint16_t kBitsPerSample = 258;
inline constexpr std::uint16_t kCompression = 259;
inline constexpr std::uint16_t kPhotometric = 262;
inline constexpr std::uint16_t kFillOrder = 266;
inline constexpr std::uint16_t kStripOffsets = 273;
inline constexpr std::uint16_t kOrientation = 274;
inline constexpr std::uint16_t kSamplesPerPixel = 277;
inline constexpr std::uint16_t kRowsPerStrip = 278;
inline constexpr std::uint16_t kStripByteCounts = 279;
inline constexpr std::uint16_t kXResolution = 282;
inline constexpr std::uint16_t kYResolution = 283;
inline constexpr std::uint16_t kPlanarConfig = 284;
inline constexpr std::uint16_t kT4Options = 292;
inline constexpr std::uint16_t kResolutionUnit = 296;
inline constexpr std::uint16_t kPredictor = 317;
inline constexpr std::uint16_t kColorMap = 320;
inline constexpr std::uint16_t kTileWidth = 322;
inline constexpr std::uint16_t kTileLength = 323;
inline constexpr std::uint16_t kTileOffsets = 324;
inline constexpr std::uint16_t kTileByteCounts = 325;
inline constexpr std::uint16_t kExtraSamples = 338;
inline constexpr std::uint16_t kSampleFormat = 339;
inline constexpr std::uint16_t kJPEGTables = 347;
inline constexpr std::uint16_t kYCbCrCoefficients = 529;
inline constexpr std::uint16_t kYCbCrSubSampling = 530;
inline constexpr std::uint16_t kYCbCrPositioning = 531;
// Pseudo-tags: never stored in files, kept with the directory's defaults.
inline constexpr std::uint32_t kJPEGColorMode = 65538;
inline constexpr std::uint32_t kJPEGTablesMode = 65539;
}  // namespace Tag

// Field types of directory entries.
enum class FieldType : std::uint16_t {
  kByte = 1,
  kAscii = 2,
  kShort = 3,
  kLong = 4,
  kRational = 5,
  kSByte = 6,
  kUndefined = 7,
  kSShort = 8,
  kSLong = 9,
  kSRational = 10,
  kFloat = 11,
  kDouble = 12,
  kIfd = 13,
};

// Bytes of one value of the type; 0 for a type this reader does not know.
unsigned FieldTypeSize(std::uint16_t type);

inline constexpr std::uint16_t kClassicVersion = 42;
inline constexpr std::uint16_t kBigTIFFVersion = 43;
inline constexpr std::size_t kHeaderSize = 8;

struct TIFFHeader {
  bool big_endian = false;  // "MM"
  std::uint16_t version = 0;
  std::uint32_t first_ifd = 0;
};

// Reads the header at the stream's position. False (and the position where the header
// ended or the read stopped) when the byte order mark is not "II" or "MM" or the stream
// is too short; the version is not checked.
bool ReadTIFFHeader(TStream& stream, TIFFHeader& header);

// One 12-byte directory entry. The value field is kept as it is in the file, so values
// that fit in it are decoded with the file's byte order like any other value.
struct DirectoryEntry {
  std::uint16_t tag = 0;
  std::uint16_t type = 0;
  std::uint32_t count = 0;
  std::array<std::uint8_t, 4> field{};
};

class TTIFFDirectory {
 public:
  // Reads the directory at offset (counted from base, the stream position of the
  // header). False when its entries do not lie inside the stream. The entries are
  // sorted by tag (the first of duplicate tags wins).
  bool Read(TStream& stream, std::uint64_t base, std::uint32_t offset, bool big_endian);

  // Offset of the next directory; 0 at the end of the chain.
  std::uint32_t NextOffset() const { return next_offset_; }
  bool BigEndian() const { return big_endian_; }
  const std::vector<DirectoryEntry>& Entries() const { return entries_; }

  const DirectoryEntry* Find(std::uint16_t tag) const;
  bool Has(std::uint16_t tag) const { return Find(tag) != nullptr; }

  // The value of a single BYTE, SHORT, SSHORT, LONG or SLONG; def when the tag is
  // missing, holds more than one value or has another type.
  std::uint32_t TagValue(std::uint16_t tag, std::uint32_t def) const;
  // Like TagValue, and count receives the number of values (0 when missing); for more
  // than one value the raw value/offset field is returned.
  std::uint32_t TagOffset(std::uint16_t tag, std::uint32_t& count, std::uint32_t def) const;

  // Every value of an integer tag (BYTE, SHORT, LONG, their signed forms, IFD) as u32;
  // empty when missing, of another type or outside the stream.
  std::vector<std::uint32_t> TagArray(TStream& stream, std::uint16_t tag) const;
  // The raw bytes of a BYTE, SBYTE, UNDEFINED or ASCII tag; the low bytes of the
  // values of a wider integer tag; empty otherwise.
  std::vector<std::uint8_t> TagBytes(TStream& stream, std::uint16_t tag) const;
  // A single value as a float: integers as they are, RATIONAL and SRATIONAL as
  // numerator / denominator, FLOAT and DOUBLE as stored. def when the tag is missing,
  // holds more than one value or has a zero denominator.
  float TagFloat(TStream& stream, std::uint16_t tag, float def) const;
  // Every value of a numeric tag as floats (a zero denominator gives 0).
  std::vector<float> TagFloats(TStream& stream, std::uint16_t tag) const;

 private:
  // The bytes of all the entry's values, from the field or from the stream; empty when
  // they do not lie inside the stream.
  std::vector<std::uint8_t> ValueBytes(TStream& stream, const DirectoryEntry& entry) const;
  std::uint16_t Load16(const std::uint8_t* p) const;
  std::uint32_t Load32(const std::uint8_t* p) const;
  // Value i of an integer type inside bytes (as returned by ValueBytes).
  std::uint32_t IntegerAt(const std::uint8_t* bytes, std::uint16_t type, std::size_t i) const;
  // Value i of a numeric type; false for a rational with a zero denominator.
  bool NumberAt(const std::uint8_t* bytes, std::uint16_t type, std::size_t i, double& value) const;

  std::vector<DirectoryEntry> entries_;
  std::uint64_t base_ = 0;
  std::uint32_t next_offset_ = 0;
  bool big_endian_ = false;
};

}  // namespace tiff
}  // namespace qel
