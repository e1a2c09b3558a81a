#include "import/codecs/dib_pixels.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "imaging/errors.h"
#include "imaging/stream.h"
#include "import/codecs/dib_rle.h"
#include "import/codecs/libjpeg_decode.h"
#include "import/codecs/libpng_decode.h"
#include "import/framework/bitmap.h"
#include "import/framework/coded_size.h"
#include "import/framework/messages.h"

namespace qel {

namespace {

[[noreturn]] void Truncated() {
  throw EReadError(FormatMessage(msg::kStreamReadError, {"BMP"}));
}

// One channel of a bitfields layout: where its bits are and how to widen them to 8.
class ChannelMask {
 public:
  explicit ChannelMask(std::uint32_t mask) : mask_(mask) {
    if (mask == 0) return;
    shift_ = std::countr_zero(mask);
    bits_ = 32 - std::countl_zero(mask) - shift_;
    max_ = bits_ >= 32 ? 0xFFFFFFFFu : (1u << bits_) - 1;
  }
  bool Present() const { return mask_ != 0; }
  std::uint8_t Extract(std::uint32_t pixel) const {
    if (mask_ == 0) return 0;
    const std::uint32_t v = (pixel & mask_) >> shift_;
    if (bits_ >= 8) return std::uint8_t(v >> (bits_ - 8));
    // Short channels spread over 0..255 with the same rounding down as the common peers.
    return std::uint8_t(v * 255u / max_);
  }

 private:
  std::uint32_t mask_;
  int shift_ = 0;
  int bits_ = 0;
  std::uint32_t max_ = 1;
};

// The masks a file means: its own for bitfields, the implied ones otherwise.
BmpMasks EffectiveMasks(const BmpInfoHeader& h) {
  if (h.HasBitfields() && (h.masks.red | h.masks.green | h.masks.blue) != 0) return h.masks;
  if (h.bit_count == 16) return {0x7C00, 0x03E0, 0x001F, 0};
  return {0xFF0000, 0x00FF00, 0x0000FF, 0};
}

std::uint32_t LoadPixel(const std::uint8_t* p, int bytes) {
  switch (bytes) {
    case 2:
      return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8);
    case 3:
      return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16);
    default:
      return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
             (std::uint32_t(p[3]) << 24);
  }
}

// Uncompressed pixel data must be all there before anything is allocated for it; the
// last row may lack its padding.
void CheckUncompressedSize(const BmpInfoHeader& h, const BmpLayout& layout) {
  const std::size_t row_bytes = ((std::size_t(h.width) * h.bit_count + 31) / 32) * 4;
  const std::size_t used_bytes = (std::size_t(h.width) * h.bit_count + 7) / 8;
  const std::uint64_t available = layout.data_end > layout.pixel_pos ? layout.data_end - layout.pixel_pos : 0;
  if (available < std::uint64_t(row_bytes) * std::uint64_t(h.height - 1) + used_bytes) Truncated();
}

// Reads the rows of uncompressed pixel data one by one and hands each to convert(file
// row bytes, bitmap row).
template <typename Convert>
void ReadRows(TStream& stream, const BmpInfoHeader& h, const BmpLayout& layout, TBitmap& bitmap,
              Convert convert) {
  const std::size_t row_bytes = ((std::size_t(h.width) * h.bit_count + 31) / 32) * 4;
  const std::size_t used_bytes = (std::size_t(h.width) * h.bit_count + 7) / 8;
  stream.SetPosition(layout.pixel_pos);
  std::vector<std::uint8_t> row(row_bytes);
  for (int i = 0; i < h.height; ++i) {
    const std::size_t got = stream.Read(row.data(), row_bytes);
    if (got < used_bytes) Truncated();
    const int y = h.top_down ? i : h.height - 1 - i;
    convert(row.data(), bitmap.ScanLine(y));
  }
}

// Reads the rows of uncompressed pixel data straight into the bitmap, for layouts whose
// file rows are bitmap rows already (same depth, same padding to 4 bytes).
void ReadRowsAsTheyAre(TStream& stream, const BmpInfoHeader& h, const BmpLayout& layout, TBitmap& bitmap) {
  const std::size_t row_bytes = ((std::size_t(h.width) * h.bit_count + 31) / 32) * 4;
  const std::size_t used_bytes = (std::size_t(h.width) * h.bit_count + 7) / 8;
  stream.SetPosition(layout.pixel_pos);
  for (int i = 0; i < h.height; ++i) {
    const int y = h.top_down ? i : h.height - 1 - i;
    if (stream.Read(bitmap.ScanLine(y), row_bytes) < used_bytes) Truncated();
  }
}

void DecodeIndexed(TStream& stream, const BmpInfoHeader& h, const BmpLayout& layout, TBitmap& bitmap) {
  if (h.bit_count == 2) {
    bitmap.SetPixelFormat(TPixelFormat::pf8bit);
    bitmap.SetSize(h.width, h.height);
    ReadRows(stream, h, layout, bitmap, [w = h.width](const std::uint8_t* src, std::uint8_t* dst) {
      for (int x = 0; x < w; ++x) dst[x] = (src[x >> 2] >> (6 - 2 * (x & 3))) & 3;
    });
    return;
  }
  const TPixelFormat format = h.bit_count == 1   ? TPixelFormat::pf1bit
                              : h.bit_count == 4 ? TPixelFormat::pf4bit
                                                 : TPixelFormat::pf8bit;
  bitmap.SetPixelFormat(format);
  bitmap.SetSize(h.width, h.height);
  // A BMP row and a bitmap row of the same depth have the same padded length.
  ReadRowsAsTheyAre(stream, h, layout, bitmap);
}

void DecodeRle(TStream& stream, const BmpInfoHeader& h, const BmpLayout& layout, TBitmap& bitmap) {
  if (layout.data_end <= layout.pixel_pos) Truncated();
  CheckCodedSize("BMP", h.width, h.height, layout.data_end - layout.pixel_pos, kSkippingCodePixelsPerByte);
  bitmap.SetPixelFormat(TPixelFormat::pf8bit);
  bitmap.SetSize(h.width, h.height);  // every index starts at 0, the colour of skipped pixels
  stream.SetPosition(layout.pixel_pos);
  const std::vector<std::uint8_t> data = stream.ReadBytes(std::size_t(layout.data_end - layout.pixel_pos));
  const BmpRleTarget target{{bitmap.ScanLine(0), bitmap.RowSize() * std::size_t(h.height)},
                            bitmap.RowSize(),
                            h.width,
                            h.height,
                            !h.top_down};
  DecodeBmpRle(data, h.compression == BmpCompression::kRle4, target);
}

// Alpha that is the same everywhere says nothing: all 255 is opaque, and all 0 comes
// from writers that declare an alpha mask without filling it.
bool AlphaVaries(const TBitmap& bitmap) {
  bool some_visible = false, some_translucent = false;
  for (int y = 0; y < bitmap.Height(); ++y) {
    const std::uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < bitmap.Width(); ++x) {
      const std::uint8_t a = row[4 * x + 3];
      some_visible |= a != 0;
      some_translucent |= a != 255;
    }
  }
  return some_visible && some_translucent;
}

void DecodeTrueColor(TStream& stream, const BmpInfoHeader& h, const BmpLayout& layout, TBitmap& bitmap) {
  const BmpMasks masks = EffectiveMasks(h);
  const ChannelMask red(masks.red), green(masks.green), blue(masks.blue), alpha(masks.alpha);
  const int w = h.width, bytes = h.bit_count / 8;
  if (alpha.Present()) {
    bitmap.SetPixelFormat(TPixelFormat::pf32bit);
    bitmap.SetSize(h.width, h.height);
    ReadRows(stream, h, layout, bitmap, [&](const std::uint8_t* src, std::uint8_t* dst) {
      for (int x = 0; x < w; ++x, src += bytes, dst += 4) {
        const std::uint32_t v = LoadPixel(src, bytes);
        dst[0] = blue.Extract(v);
        dst[1] = green.Extract(v);
        dst[2] = red.Extract(v);
        dst[3] = alpha.Extract(v);
      }
    });
    const bool blended = AlphaVaries(bitmap);
    bitmap.SetAlphaBlended(blended);
    bitmap.SetTransparent(blended);
    return;
  }
  bitmap.SetPixelFormat(TPixelFormat::pf24bit);
  bitmap.SetSize(h.width, h.height);
  const bool plain_bgr =
      (bytes == 3 || bytes == 4) && masks.red == 0xFF0000 && masks.green == 0xFF00 && masks.blue == 0xFF;
  if (plain_bgr && bytes == 3) {
    ReadRowsAsTheyAre(stream, h, layout, bitmap);
  } else if (plain_bgr) {
    ReadRows(stream, h, layout, bitmap, [w](const std::uint8_t* src, std::uint8_t* dst) {
      for (int x = 0; x < w; ++x, src += 4, dst += 3) std::memcpy(dst, src, 3);
    });
  } else {
    ReadRows(stream, h, layout, bitmap, [&](const std::uint8_t* src, std::uint8_t* dst) {
      for (int x = 0; x < w; ++x, src += bytes, dst += 3) {
        const std::uint32_t v = LoadPixel(src, bytes);
        dst[0] = blue.Extract(v);
        dst[1] = green.Extract(v);
        dst[2] = red.Extract(v);
      }
    });
  }
}

}  // namespace

BmpLayout PackedBmpLayout(const BmpInfoHeader& header, std::uint64_t header_pos, std::uint64_t data_end) {
  BmpLayout layout;
  layout.palette_pos = header_pos + header.PackedPixelOffset() -
                       std::uint64_t(header.PaletteEntries()) * header.PaletteEntrySize();
  layout.pixel_pos = header_pos + header.PackedPixelOffset();
  layout.data_end = data_end;
  return layout;
}

Palette ReadBmpPalette(TStream& stream, const BmpInfoHeader& h, const BmpLayout& layout) {
  Palette palette;
  if (!h.IsIndexed()) return palette;
  const std::uint32_t entry_size = h.PaletteEntrySize();
  std::uint64_t entries = std::min<std::uint64_t>(h.PaletteEntries(), 1u << h.bit_count);
  // A palette cut short by where the pixels start keeps the entries before them.
  if (layout.pixel_pos >= layout.palette_pos) {
    entries = std::min<std::uint64_t>(entries, (layout.pixel_pos - layout.palette_pos) / entry_size);
  }
  stream.SetPosition(layout.palette_pos);
  const std::vector<std::uint8_t> bytes = stream.ReadBytes(std::size_t(entries) * entry_size);
  palette.reserve(std::size_t(entries));
  for (std::size_t i = 0; i < entries; ++i) {
    const std::uint8_t* e = bytes.data() + i * entry_size;
    palette.push_back({e[2], e[1], e[0], 0});
  }
  return palette;
}

void DecodeBmpPixels(TStream& stream, const BmpInfoHeader& header, const BmpLayout& layout, TBitmap& bitmap) {
  bitmap.ReleaseHandle();
  if (header.IsEmbedded()) {
    stream.SetPosition(layout.pixel_pos);
    if (header.compression == BmpCompression::kPng) {
      DecodePng(stream, bitmap);
    } else {
      DecodeJpeg(stream, bitmap);
    }
    return;
  }
  if (!header.IsRle()) CheckUncompressedSize(header, layout);
  Palette palette = ReadBmpPalette(stream, header, layout);
  if (header.IsRle()) {
    DecodeRle(stream, header, layout, bitmap);
  } else if (header.IsIndexed()) {
    DecodeIndexed(stream, header, layout, bitmap);
  } else {
    DecodeTrueColor(stream, header, layout, bitmap);
  }
  if (header.IsIndexed()) bitmap.SetPalette(std::move(palette));
}

}  // namespace qel
