// The headers of a BMP file: the 14-byte file header and the information header that
// follows it (or that starts a packed bitmap in memory, as in icons and .dib files).
#pragma once

#include <array>
#include <cstdint>

namespace qel {

class TStream;

// The file header; the signature "BM" has been checked when this is read.
struct BmpFileHeader {
  std::uint32_t file_size = 0;
  std::uint32_t pixel_offset = 0;  // from the start of the file header
};

inline constexpr std::size_t kBmpFileHeaderSize = 14;

// Reads the file header; throws EInvalidGraphic when the signature is not "BM".
BmpFileHeader ReadBmpFileHeader(TStream& stream);

// Compression codes. Codes 3 and 4 mean other things in an OS/2 2.x header, so
// ReadBmpInfoHeader maps those to the OS/2 codes below.
enum class BmpCompression : std::uint32_t {
  kRgb = 0,
  kRle8 = 1,
  kRle4 = 2,
  kBitfields = 3,
  kJpeg = 4,
  kPng = 5,
  kAlphaBitfields = 6,
  kOs2Huffman = 0x1000,
  kOs2Rle24 = 0x1001,
};

// The header kinds by their length.
enum class BmpHeaderKind { kCore, kInfo, kV2, kV3, kOs2V2, kV4, kV5 };

inline constexpr std::uint32_t kBmpCoreHeaderSize = 12;
inline constexpr std::uint32_t kBmpInfoHeaderSize = 40;
inline constexpr std::uint32_t kBmpV2HeaderSize = 52;  // info header + RGB masks
inline constexpr std::uint32_t kBmpV3HeaderSize = 56;  // info header + RGBA masks
inline constexpr std::uint32_t kBmpOs2V2MaxSize = 64;
inline constexpr std::uint32_t kBmpV4HeaderSize = 108;
inline constexpr std::uint32_t kBmpV5HeaderSize = 124;

// Channel masks of a bitfields (or implied) layout: red, green, blue, alpha.
struct BmpMasks {
  std::uint32_t red = 0, green = 0, blue = 0, alpha = 0;
};

// The information header, whatever its kind, with the fields in a common form.
struct BmpInfoHeader {
  std::uint32_t header_size = 0;
  BmpHeaderKind kind = BmpHeaderKind::kInfo;
  std::int32_t width = 0;
  std::int32_t height = 0;  // always positive here; see top_down
  bool top_down = false;
  std::uint16_t planes = 1;
  std::uint16_t bit_count = 0;
  BmpCompression compression = BmpCompression::kRgb;
  std::uint32_t image_size = 0;
  std::uint32_t colors_used = 0;
  // Masks stored in the header (V2 and later) or right after it (bitfields with an
  // info header); only meaningful for the bitfields compressions.
  BmpMasks masks;
  bool masks_after_header = false;  // the masks follow a 40-byte header in the file

  bool IsEmbedded() const {
    return compression == BmpCompression::kJpeg || compression == BmpCompression::kPng;
  }
  bool IsIndexed() const { return bit_count <= 8 && !IsEmbedded(); }
  bool IsRle() const { return compression == BmpCompression::kRle8 || compression == BmpCompression::kRle4; }
  bool HasBitfields() const {
    return compression == BmpCompression::kBitfields || compression == BmpCompression::kAlphaBitfields;
  }
  // Bytes of one palette entry: 3 in an OS/2 core header, 4 otherwise.
  std::uint32_t PaletteEntrySize() const { return kind == BmpHeaderKind::kCore ? 3 : 4; }
  // Palette entries the file holds before the pixels.
  std::uint32_t PaletteEntries() const;
  // Bytes of the header, its trailing masks and its palette: where the pixels of a
  // packed bitmap start.
  std::uint64_t PackedPixelOffset() const;
};

// Reads an information header at the stream's position and leaves the stream after
// the header and any masks that follow it. Sizes and depths are checked: a header
// this library cannot decode raises EInvalidGraphic, one asking for a picture beyond
// the picture limits EOutOfResources. Nothing is allocated from header values here.
BmpInfoHeader ReadBmpInfoHeader(TStream& stream);

}  // namespace qel
