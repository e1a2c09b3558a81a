// The structures of a Paint Shop Pro file: the file header, the block headers and the
// records of the blocks the reader uses. All numbers are little-endian. Files of major
// version 3 carry an extra word in every block header; later versions put a chunk
// size in front of most records.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace qel {

class TStream;

inline constexpr std::size_t kPspFileHeaderSize = 36;
inline constexpr std::uint16_t kPspOldestMajorVersion = 3;
// Size of the layer information record that follows the layer's name.
inline constexpr std::size_t kPspLayerInfoSize = 115;
// Size of a layer name in major version 3 files.
inline constexpr std::size_t kPspOldLayerNameSize = 256;

enum class PspBlockId : std::uint16_t {
  kImageAttributes = 0,
  kCreator = 1,
  kColorPalette = 2,
  kLayerBank = 3,
  kLayer = 4,
  kChannel = 5,
};

enum class PspCompression : std::uint16_t { kNone = 0, kRLE = 1, kLZ77 = 2, kJPEG = 3 };

enum class PspChannelType : std::uint16_t { kComposite = 0, kRed = 1, kGreen = 2, kBlue = 3 };

// The bitmap a channel belongs to; only the image itself and its transparency are read.
enum class PspBitmapType : std::uint16_t { kImage = 0, kTransparencyMask = 1 };

// Layer types of the first information byte: major version 3 knows only 0 for a
// normal raster layer, later versions use 0 (undefined) and 1 (raster).
inline constexpr std::uint8_t kPspRasterLayer = 1;

struct PspFileHeader {
  std::array<std::uint8_t, 32> signature{};
  std::uint16_t major_version = 0;
  std::uint16_t minor_version = 0;

  // "Paint Shop Pro Image File" in any case and a version the reader knows.
  bool IsValid() const;
};

struct PspBlockHeader {
  std::array<std::uint8_t, 4> identifier{};  // "~BK" and a 0 byte
  std::uint16_t id = 0;
  std::uint32_t length = 0;  // bytes after the header

  bool HasMarker() const { return identifier[0] == '~'; }
  PspBlockId Id() const { return PspBlockId(id); }
};

// The general image attributes (the first block of a file).
struct PspImageAttributes {
  std::int32_t width = 0;
  std::int32_t height = 0;
  double resolution = 0;
  std::uint8_t resolution_metric = 0;  // 1 pixels an inch, 2 pixels a centimetre
  std::uint16_t compression = 0;
  std::uint16_t bit_depth = 0;
  std::uint8_t greyscale = 0;
};

// The header of a channel's data.
struct PspChannelInfo {
  std::uint32_t compressed_length = 0;
  std::uint32_t uncompressed_length = 0;
  std::uint16_t bitmap_type = 0;
  std::uint16_t channel_type = 0;
};

// Bytes of a block header for the given major version.
std::size_t PspBlockHeaderSize(std::uint16_t major_version);

// Each reader raises EReadError when the stream ends inside the structure.
PspFileHeader ReadPspFileHeader(TStream& stream);
PspBlockHeader ReadPspBlockHeader(TStream& stream, std::uint16_t major_version);
// Reads the attributes from the start of their block (after its header); nullopt when
// the block is too short to hold them.
std::optional<PspImageAttributes> ReadPspImageAttributes(TStream& stream, std::uint16_t major_version,
                                                         std::uint32_t block_length);
// Reads a channel header from the start of its block (after the block header) and
// leaves the stream at the channel's data; nullopt when the block is too short.
std::optional<PspChannelInfo> ReadPspChannelInfo(TStream& stream, std::uint16_t major_version,
                                                 std::uint32_t block_length);

}  // namespace qel
