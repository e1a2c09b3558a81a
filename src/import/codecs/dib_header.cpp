#include "import/codecs/dib_header.h"

#include <string>

#include "imaging/errors.h"
#include "imaging/picture.h"
#include "imaging/stream.h"
#include "import/framework/messages.h"

namespace qel {

namespace {

[[noreturn]] void Invalid() {
  throw EInvalidGraphic(FormatMessage(msg::kInvalidImage, {"BMP"}));
}

[[noreturn]] void Unsupported(const std::string& what) {
  throw EInvalidGraphic(FormatMessage(msg::kUnsupportedFeature, {what, "BMP"}));
}

std::uint16_t U16At(const std::uint8_t* p) {
  return std::uint16_t(p[0] | (p[1] << 8));
}
std::uint32_t U32At(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}

BmpHeaderKind KindOf(std::uint32_t size) {
  switch (size) {
    case kBmpCoreHeaderSize:
      return BmpHeaderKind::kCore;
    case kBmpInfoHeaderSize:
      return BmpHeaderKind::kInfo;
    case kBmpV2HeaderSize:
      return BmpHeaderKind::kV2;
    case kBmpV3HeaderSize:
      return BmpHeaderKind::kV3;
    case kBmpV4HeaderSize:
      return BmpHeaderKind::kV4;
    case kBmpV5HeaderSize:
      return BmpHeaderKind::kV5;
    default:
      break;
  }
  // OS/2 2.x headers may be cut short after any field, down to 16 bytes.
  if (size >= 16 && size <= kBmpOs2V2MaxSize) return BmpHeaderKind::kOs2V2;
  Invalid();
}

bool ValidDepth(std::uint16_t bits) {
  return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

void CheckCompression(const BmpInfoHeader& h) {
  switch (h.compression) {
    case BmpCompression::kRgb:
      if (!ValidDepth(h.bit_count)) Invalid();
      break;
    case BmpCompression::kRle8:
      if (h.bit_count != 8) Invalid();
      break;
    case BmpCompression::kRle4:
      if (h.bit_count != 4) Invalid();
      break;
    case BmpCompression::kBitfields:
    case BmpCompression::kAlphaBitfields:
      if (h.bit_count != 16 && h.bit_count != 24 && h.bit_count != 32) Invalid();
      break;
    case BmpCompression::kJpeg:
    case BmpCompression::kPng:
      // A whole JPEG or PNG file stands in for the pixels; its own header rules.
      break;
    case BmpCompression::kOs2Huffman:
      Unsupported("Huffman compression");
    case BmpCompression::kOs2Rle24:
      Unsupported("RLE24 compression");
    default:
      Unsupported("Compression " + std::to_string(std::uint32_t(h.compression)));
  }
}

}  // namespace

BmpFileHeader ReadBmpFileHeader(TStream& stream) {
  std::uint8_t b[kBmpFileHeaderSize];
  if (stream.Read(b, sizeof b) != sizeof b || b[0] != 'B' || b[1] != 'M') Invalid();
  return BmpFileHeader{U32At(b + 2), U32At(b + 10)};
}

std::uint32_t BmpInfoHeader::PaletteEntries() const {
  if (colors_used != 0 && kind != BmpHeaderKind::kCore) return colors_used;
  return IsIndexed() ? 1u << bit_count : 0;
}

std::uint64_t BmpInfoHeader::PackedPixelOffset() const {
  return std::uint64_t(header_size) +
         (masks_after_header ? (compression == BmpCompression::kAlphaBitfields ? 16 : 12) : 0) +
         std::uint64_t(PaletteEntries()) * PaletteEntrySize();
}

BmpInfoHeader ReadBmpInfoHeader(TStream& stream) {
  BmpInfoHeader h;
  h.header_size = stream.ReadU32LE();
  h.kind = KindOf(h.header_size);
  // Every known header fits in this buffer; the size was checked by KindOf.
  std::uint8_t b[kBmpV5HeaderSize] = {};
  stream.ReadBuffer(b + 4, h.header_size - 4);

  std::int64_t height = 0;
  if (h.kind == BmpHeaderKind::kCore) {
    h.width = U16At(b + 4);
    height = U16At(b + 6);
    h.planes = U16At(b + 8);
    h.bit_count = U16At(b + 10);
    if (h.bit_count > 8 && h.bit_count != 24) Invalid();
  } else {
    h.width = std::int32_t(U32At(b + 4));
    height = std::int32_t(U32At(b + 8));
    h.planes = U16At(b + 12);
    h.bit_count = U16At(b + 14);
    h.compression = BmpCompression(U32At(b + 16));
    h.image_size = U32At(b + 20);
    h.colors_used = U32At(b + 32);
    if (h.kind == BmpHeaderKind::kOs2V2) {
      if (h.compression == BmpCompression::kBitfields) h.compression = BmpCompression::kOs2Huffman;
      if (h.compression == BmpCompression::kJpeg) h.compression = BmpCompression::kOs2Rle24;
    }
  }
  if (height < 0) {
    h.top_down = true;
    height = -height;
  }
  if (h.width <= 0 || height <= 0) Invalid();
  CheckPictureSize(h.width, height);
  h.height = std::int32_t(height);
  CheckCompression(h);

  if (h.HasBitfields()) {
    if (h.header_size >= kBmpV2HeaderSize && h.kind != BmpHeaderKind::kOs2V2) {
      h.masks = {U32At(b + 40), U32At(b + 44), U32At(b + 48),
                 h.header_size >= kBmpV3HeaderSize ? U32At(b + 52) : 0};
    } else {
      // A 40-byte header is followed by three masks, or four for alpha bitfields.
      h.masks_after_header = true;
      h.masks.red = stream.ReadU32LE();
      h.masks.green = stream.ReadU32LE();
      h.masks.blue = stream.ReadU32LE();
      if (h.compression == BmpCompression::kAlphaBitfields) h.masks.alpha = stream.ReadU32LE();
    }
  }
  return h;
}

}  // namespace qel
