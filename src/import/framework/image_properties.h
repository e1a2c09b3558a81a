// The header summary every reader of the import library fills before it decodes.
#pragma once

#include <cstdint>
#include <vector>

namespace qel {

enum class ColorScheme : std::uint8_t {
  schUnknown = 0,
  schIndexed = 1,
  schGray = 2,
  schGrayAlpha = 3,
  schRGB = 4,
  schRGBA = 5,
  schBGR = 6,
  schBGRA = 7,
  schReserved = 8,
  schCMYK = 9,
  schCIELab = 10,
  schYCbCr = 11,
  schPhotoYCC = 12,
};

enum class CompressionType : std::uint8_t {
  cmpUnknown = 0,
  cmpNone = 1,
  cmpRLE = 2,
  cmpPackBits = 3,
  cmpLZW = 4,
  cmpCCITTFax3 = 5,
  cmpCCITTHuffman = 6,
  cmpCCITTFax4 = 7,
  cmpCCITTHuffmanW = 8,
  cmpLZ77 = 9,
  cmpJPEG = 10,
  cmpOldJPEG = 11,
  cmpThunderscan = 12,
  cmpNeXT = 13,
  cmpIT8CTPad = 14,
  cmpIT8LW = 15,
  cmpIT8MP = 16,
  cmpIT8BL = 17,
  cmpPixarFilm = 18,
  cmpPixarLog = 19,
  cmpKodakDCS = 20,
  cmpJBIG = 21,
  cmpPCDHuffman = 22,
};

// Bits of TImageProperties::Flags.
namespace ImageFlags {
inline constexpr std::uint8_t kTiled = 1 << 0;
inline constexpr std::uint8_t kSwapped = 1 << 1;  // samples are big-endian
inline constexpr std::uint8_t kMinIsWhite = 1 << 2;
inline constexpr std::uint8_t kReversedBits = 1 << 3;  // bits fill from the least significant end
inline constexpr std::uint8_t kUseGamma = 1 << 4;
}  // namespace ImageFlags

struct TImageProperties {
  std::uint32_t FormatVersion = 0;
  std::uint8_t Flags = 0;
  std::uint32_t Width = 0;
  std::uint32_t Height = 0;
  qel::ColorScheme ColorScheme = qel::ColorScheme::schUnknown;
  std::uint8_t BitsPerSample = 0;
  std::uint8_t SamplesPerPixel = 0;
  std::uint8_t BitsPerPixel = 0;
  CompressionType Compression = CompressionType::cmpUnknown;
  float FileGamma = 1.0f;
  float XResolution = 0;
  float YResolution = 0;
  bool Interlaced = false;
  bool HasAlpha = false;
  // TIFF
  std::uint32_t FirstIFD = 0;
  std::uint32_t PlanarConfig = 0;
  std::uint32_t CurrentRow = 0;
  std::uint32_t TileWidth = 0;
  std::uint32_t TileLength = 0;
  std::uint32_t BytesPerLine = 0;
  std::vector<std::uint32_t> RowsPerStrip;
  std::vector<std::uint8_t> YCbCrSubSampling;
  std::vector<std::uint8_t> JPEGTables;
  std::uint32_t JPEGColorMode = 0;
  std::uint32_t JPEGTablesMode = 0;
  std::uint32_t CurrentStrip = 0;
  std::uint32_t StripCount = 0;
  std::uint32_t Predictor = 0;
  // Photo-CD
  bool IsOverview = false;
  std::uint8_t Rotation = 0;
  std::uint16_t SubImageCount = 0;
  // GIF
  bool HasLocalPalette = false;
  // Alias/Wavefront
  bool BottomUp = false;
  // Photoshop
  std::uint8_t ChannelCount = 0;
  // PNG
  std::uint8_t PngFilterMethod = 0;
};

}  // namespace qel
