#include "import/metafile/dib.h"

#include <algorithm>
#include <bit>

#include "import/metafile/records.h"

namespace qel {

namespace {

constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kOs2HeaderSize = 64;

enum Compression : std::uint32_t {
  kBiRgb = 0,
  kBiRle8 = 1,
  kBiRle4 = 2,
  kBiBitFields = 3,
  kBiJpeg = 4,
  kBiPng = 5,
  kBiAlphaBitFields = 6,
};

struct DibHeader {
  std::uint32_t size = 0;
  std::int64_t width = 0, height = 0;
  std::uint32_t bits_per_pixel = 0;
  std::uint32_t compression = kBiRgb;
  std::uint32_t colors_used = 0;
  std::uint32_t masks[3] = {0, 0, 0};
  bool masks_in_header = false;
  std::size_t table_offset = 0;  // where the colour table (or the bit masks after a 40-byte header) starts
};

DibHeader ReadHeader(std::span<const std::uint8_t> info, std::string_view format) {
  MetafileRecordReader r(info, format);
  DibHeader h;
  h.size = r.U32();
  if (h.size == kCoreHeaderSize) {
    h.width = r.U16();
    h.height = r.U16();
    r.U16();  // planes
    h.bits_per_pixel = r.U16();
    h.table_offset = kCoreHeaderSize;
    return h;
  }
  if (h.size < kInfoHeaderSize || h.size > info.size()) r.Fail();
  h.width = r.I32();
  h.height = r.I32();
  r.U16();  // planes
  h.bits_per_pixel = r.U16();
  h.compression = r.U32();
  r.Skip(12);  // image size, resolution
  h.colors_used = r.U32();
  r.U32();                                                                           // colours important
  if (h.size == kOs2HeaderSize && h.compression > kBiRle4) h.compression = kBiJpeg;  // OS/2 codes: not drawn
  if (h.size >= kInfoHeaderSize + 12) {
    for (std::uint32_t& m : h.masks) m = r.U32();
    h.masks_in_header = true;
  }
  h.table_offset = h.size;
  return h;
}

}  // namespace

std::uint8_t MetafileDib::Channel::Scale(std::uint32_t pixel) const {
  if (max == 0) return 0;
  const std::uint32_t v = (pixel & mask) >> shift;
  return std::uint8_t((std::uint64_t(v) * 255 + max / 2) / max);
}

std::optional<MetafileDib> MetafileDib::ParsePacked(std::span<const std::uint8_t> packed, std::uint32_t usage,
                                                    std::string_view format, std::uint32_t scan_start,
                                                    std::uint32_t scan_count) {
  const DibHeader h = ReadHeader(packed, format);
  std::uint64_t offset = h.table_offset;
  if (h.compression == kBiBitFields && !h.masks_in_header) offset += 12;
  if (h.compression == kBiAlphaBitFields && !h.masks_in_header) offset += 16;
  std::uint64_t entries = h.colors_used;
  if (h.bits_per_pixel <= 8 && entries == 0) entries = 1ull << h.bits_per_pixel;
  const std::uint64_t entry_size =
      h.size == kCoreHeaderSize ? 3 : (usage == kDibPalColors && h.bits_per_pixel <= 8 ? 2 : 4);
  offset += entries * entry_size;
  if (offset > packed.size()) ThrowInvalidMetafile(format);
  return Parse(packed.first(std::size_t(offset)), packed.subspan(std::size_t(offset)), usage, format,
               scan_start, scan_count);
}

std::optional<MetafileDib> MetafileDib::Parse(std::span<const std::uint8_t> info,
                                              std::span<const std::uint8_t> bits, std::uint32_t usage,
                                              std::string_view format, std::uint32_t scan_start,
                                              std::uint32_t scan_count) {
  const DibHeader h = ReadHeader(info, format);
  const std::uint32_t bpp = h.bits_per_pixel;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) {
    // Bit count 0 goes with JPEG or PNG data, which is not drawn; anything else is wrong.
    if (bpp == 0 && (h.compression == kBiJpeg || h.compression == kBiPng)) return std::nullopt;
    ThrowInvalidMetafile(format);
  }
  if (h.width <= 0 || h.height == 0 || h.width > kMaxPictureSide || h.height > kMaxPictureSide ||
      h.height < -kMaxPictureSide) {
    ThrowInvalidMetafile(format);
  }
  if (h.compression == kBiRle8 || h.compression == kBiRle4 || h.compression == kBiJpeg ||
      h.compression == kBiPng) {
    return std::nullopt;
  }
  const bool bit_fields = h.compression == kBiBitFields || h.compression == kBiAlphaBitFields;
  if (h.compression != kBiRgb && !bit_fields) ThrowInvalidMetafile(format);
  if (bit_fields && bpp != 16 && bpp != 32) ThrowInvalidMetafile(format);
  if (bpp <= 8 && usage == kDibPalColors) return std::nullopt;

  MetafileDib dib;
  dib.width_ = int(h.width);
  dib.height_ = int(h.height < 0 ? -h.height : h.height);
  dib.bottom_up_ = h.height > 0;
  dib.bits_per_pixel_ = int(bpp);
  dib.bit_fields_ = bit_fields || bpp == 16 || bpp == 32;
  dib.row_size_ = std::size_t(((std::uint64_t(h.width) * bpp + 31) / 32) * 4);

  MetafileRecordReader r(info, format);
  if (bpp <= 8) {
    r.Seek(h.table_offset);
    const std::uint32_t full = 1u << bpp;
    std::uint32_t entries = h.colors_used == 0 ? full : std::min(h.colors_used, full);
    // A table shorter than the header counts leaves the missing entries black.
    entries =
        std::uint32_t(std::min<std::size_t>(entries, r.Remaining() / (h.size == kCoreHeaderSize ? 3 : 4)));
    dib.colors_.reserve(full);
    for (std::uint32_t i = 0; i < entries; ++i) {
      const std::uint8_t b = r.U8(), g = r.U8(), red = r.U8();
      if (h.size != kCoreHeaderSize) r.U8();
      dib.colors_.push_back(RGBColor(red, g, b));
    }
    // Indices past the table draw black.
    dib.colors_.resize(full, 0);
  } else if (dib.bit_fields_) {
    std::uint32_t masks[3] = {0, 0, 0};
    if (bit_fields) {
      if (h.masks_in_header) {
        std::copy(std::begin(h.masks), std::end(h.masks), masks);
      } else {
        r.Seek(h.table_offset);
        for (std::uint32_t& m : masks) m = r.U32();
      }
    } else if (bpp == 16) {
      masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    } else {
      masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
    }
    Channel* channels[3] = {&dib.red_, &dib.green_, &dib.blue_};
    for (int i = 0; i < 3; ++i) {
      Channel& c = *channels[i];
      c.mask = bpp == 16 ? masks[i] & 0xFFFF : masks[i];
      c.shift = c.mask ? std::countr_zero(c.mask) : 0;
      c.max = c.mask >> c.shift;
    }
  }

  // Rows stored in the bits: all of them unless a scan range is given.
  const std::uint32_t height = std::uint32_t(dib.height_);
  dib.scan_start_ = scan_count == 0 ? 0 : scan_start;
  dib.scan_count_ = scan_count == 0 ? height : scan_count;
  if (dib.scan_start_ >= height) {
    dib.scan_count_ = 0;
  } else {
    dib.scan_count_ = std::min(dib.scan_count_, height - dib.scan_start_);
  }
  const std::uint64_t needed = std::uint64_t(dib.row_size_) * dib.scan_count_;
  if (needed > bits.size()) ThrowInvalidMetafile(format);
  dib.bits_ = bits.first(std::size_t(needed));
  return dib;
}

bool MetafileDib::RowPresent(int y) const {
  if (y < 0 || y >= height_) return false;
  const std::uint32_t stored = std::uint32_t(bottom_up_ ? height_ - 1 - y : y);
  return stored >= scan_start_ && stored - scan_start_ < scan_count_;
}

void MetafileDib::ReadRow(int y, int x0, int x1, TColor* out) const {
  const std::uint32_t stored = std::uint32_t(bottom_up_ ? height_ - 1 - y : y);
  const std::uint8_t* row = bits_.data() + std::size_t(stored - scan_start_) * row_size_;
  switch (bits_per_pixel_) {
    case 1:
      for (int x = x0; x < x1; ++x) *out++ = colors_[(row[x >> 3] >> (7 - (x & 7))) & 1];
      break;
    case 4:
      for (int x = x0; x < x1; ++x) *out++ = colors_[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F];
      break;
    case 8:
      for (int x = x0; x < x1; ++x) *out++ = colors_[row[x]];
      break;
    case 16:
      for (int x = x0; x < x1; ++x) {
        const std::uint32_t p = LoadU16(row + 2 * std::size_t(x));
        *out++ = RGBColor(red_.Scale(p), green_.Scale(p), blue_.Scale(p));
      }
      break;
    case 24:
      for (int x = x0; x < x1; ++x) {
        const std::uint8_t* p = row + 3 * std::size_t(x);
        *out++ = RGBColor(p[2], p[1], p[0]);
      }
      break;
    default:
      for (int x = x0; x < x1; ++x) {
        const std::uint32_t p = LoadU32(row + 4 * std::size_t(x));
        *out++ = RGBColor(red_.Scale(p), green_.Scale(p), blue_.Scale(p));
      }
      break;
  }
}

}  // namespace qel
