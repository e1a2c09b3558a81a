#include "import/icon/reader.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "imaging/errors.h"
#include "imaging/stream.h"
#include "import/codecs/dib_header.h"
#include "import/codecs/dib_pixels.h"
#include "import/codecs/libpng_decode.h"
#include "import/framework/messages.h"

namespace qel {

namespace {

constexpr std::uint16_t kIconType = 1;
constexpr std::uint16_t kCursorType = 2;
constexpr std::size_t kDirectoryEntrySize = 16;
constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

[[noreturn]] void Invalid() {
  throw EInvalidGraphic(FormatMessage(msg::kInvalidImage, {"ICO"}));
}

struct IconEntry {
  int width = 0, height = 0;  // from the directory; 0 there means 256
  int depth = 0;              // bits a pixel, from the bit count or else the colour count
  std::uint32_t size = 0;
  std::uint32_t offset = 0;
};

std::vector<IconEntry> ReadDirectory(TStream& stream) {
  std::uint8_t head[6];
  if (stream.Read(head, sizeof head) != sizeof head) Invalid();
  const std::uint16_t reserved = std::uint16_t(head[0] | (head[1] << 8));
  const std::uint16_t type = std::uint16_t(head[2] | (head[3] << 8));
  const std::uint16_t count = std::uint16_t(head[4] | (head[5] << 8));
  if (reserved != 0 || (type != kIconType && type != kCursorType) || count == 0) Invalid();
  const std::vector<std::uint8_t> bytes = stream.ReadBytes(std::size_t(count) * kDirectoryEntrySize);
  std::vector<IconEntry> entries;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* e = bytes.data() + i * kDirectoryEntrySize;
    IconEntry entry;
    entry.width = e[0] ? e[0] : 256;
    entry.height = e[1] ? e[1] : 256;
    const int colors = e[2];
    const int bit_count = e[6] | (e[7] << 8);
    entry.depth = bit_count ? bit_count : colors ? int(std::bit_width(unsigned(colors - 1))) : 0;
    entry.size = std::uint32_t(e[8]) | (std::uint32_t(e[9]) << 8) | (std::uint32_t(e[10]) << 16) |
                 (std::uint32_t(e[11]) << 24);
    entry.offset = std::uint32_t(e[12]) | (std::uint32_t(e[13]) << 8) | (std::uint32_t(e[14]) << 16) |
                   (std::uint32_t(e[15]) << 24);
    entries.push_back(entry);
  }
  return entries;
}

// The largest entry, and of equally large ones the deepest; of full ties the last.
const IconEntry& ChooseEntry(const std::vector<IconEntry>& entries) {
  const IconEntry* best = &entries.front();
  for (const IconEntry& e : entries) {
    const long area = long(e.width) * e.height, best_area = long(best->width) * best->height;
    if (area > best_area || (area == best_area && e.depth >= best->depth)) best = &e;
  }
  return *best;
}

bool StartsWithPng(TStream& stream, std::uint64_t offset) {
  std::uint8_t sig[8] = {};
  stream.SetPosition(offset);
  const bool png = stream.Read(sig, sizeof sig) == sizeof sig && std::memcmp(sig, kPngSignature, 8) == 0;
  stream.SetPosition(offset);
  return png;
}

// Reads the AND mask that follows the colour bitmap: one bit a pixel, rows padded to
// 32 bits, in the colour bitmap's row order. Returns one byte a pixel, rows from the
// top, 1 where the pixel is transparent.
std::vector<std::uint8_t> ReadAndMask(TStream& stream, const BmpInfoHeader& h, std::uint64_t position) {
  const std::size_t row_bytes = ((std::size_t(h.width) + 31) / 32) * 4;
  stream.SetPosition(position);
  const std::vector<std::uint8_t> bits = stream.ReadBytes(row_bytes * std::size_t(h.height));
  std::vector<std::uint8_t> mask(std::size_t(h.width) * std::size_t(h.height));
  for (int i = 0; i < h.height; ++i) {
    const std::uint8_t* src = bits.data() + std::size_t(i) * row_bytes;
    const int y = h.top_down ? i : h.height - 1 - i;
    std::uint8_t* dst = mask.data() + std::size_t(y) * std::size_t(h.width);
    for (int x = 0; x < h.width; ++x) dst[x] = (src[x >> 3] >> (7 - (x & 7))) & 1;
  }
  return mask;
}

bool AnyAlpha(const TBitmap& bitmap) {
  if (bitmap.PixelFormat() != TPixelFormat::pf32bit) return false;
  for (int y = 0; y < bitmap.Height(); ++y) {
    const std::uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < bitmap.Width(); ++x) {
      if (row[4 * x + 3] != 0) return true;
    }
  }
  return false;
}

// Makes out the icon's picture from the colour bitmap and its transparency: the
// alpha of a 32-bit colour bitmap when it has any (mask == nullptr), drawn over white
// by the readers' rule for declared alpha, else the mask (1 = transparent; the result
// is 24-bit when nothing is transparent, else 32-bit alpha-blended).
void Compose(const TBitmap& colors, const std::vector<std::uint8_t>* mask, TBitmap& out) {
  const int w = colors.Width(), h = colors.Height();
  const bool transparent = !mask || std::find(mask->begin(), mask->end(), 1) != mask->end();
  out.ReleaseHandle();
  out.SetPixelFormat(transparent ? TPixelFormat::pf32bit : TPixelFormat::pf24bit);
  out.SetSize(w, h);
  std::vector<std::uint8_t> bgr(std::size_t(w) * 3);
  for (int y = 0; y < h; ++y) {
    colors.RowToBGR(y, bgr.data());
    std::uint8_t* dst = out.ScanLine(y);
    if (!transparent) {
      std::memcpy(dst, bgr.data(), bgr.size());
      continue;
    }
    for (int x = 0; x < w; ++x) {
      std::memcpy(dst + 4 * x, &bgr[3 * std::size_t(x)], 3);
      dst[4 * x + 3] = mask ? ((*mask)[std::size_t(y) * std::size_t(w) + std::size_t(x)] ? 0 : 255)
                            : colors.ScanLine(y)[4 * x + 3];
    }
  }
  out.SetPalette(colors.GetPalette());
  if (!mask) {
    ApplyDeclaredAlpha(out, AlphaKind::kUnassociated);  // icons keep their colours apart from the alpha
    return;
  }
  out.SetAlphaBlended(transparent);
  out.SetTransparent(transparent);
}

// A BMP entry: an information header whose height counts the colour bitmap and the
// mask, the palette, the colour bitmap and the AND mask.
void DecodeBmpEntry(TStream& stream, std::uint64_t offset, TBitmap& out) {
  stream.SetPosition(offset);
  BmpInfoHeader h = ReadBmpInfoHeader(stream);
  h.height /= 2;
  if (h.height == 0 || h.IsRle() || h.IsEmbedded()) Invalid();
  const BmpLayout layout = PackedBmpLayout(h, offset, stream.Size());
  if (h.bit_count == 32 && h.compression == BmpCompression::kRgb) {
    // The fourth byte of a 32-bit icon is its alpha.
    h.compression = BmpCompression::kBitfields;
    h.masks = {0xFF0000, 0x00FF00, 0x0000FF, 0xFF000000};
  }
  TBitmap colors;
  DecodeBmpPixels(stream, h, layout, colors);
  // A 32-bit icon with alpha is transparent by its alpha, and its mask is only for
  // systems without alpha; one whose alpha is 0 everywhere relies on the mask.
  if (AnyAlpha(colors)) {
    Compose(colors, nullptr, out);
    return;
  }
  const std::size_t color_row = ((std::size_t(h.width) * h.bit_count + 31) / 32) * 4;
  const std::uint64_t mask_pos = layout.pixel_pos + std::uint64_t(color_row) * std::uint64_t(h.height);
  const std::vector<std::uint8_t> mask = ReadAndMask(stream, h, mask_pos);
  Compose(colors, &mask, out);
}

}  // namespace

const GraphicClass& TIcon::StaticClass() {
  static const GraphicClass cls("TIcon", &TGraphic::StaticClass(), &MakeGraphic<TIcon>);
  return cls;
}

void TIcon::LoadFromStream(TStream& stream) {
  bitmap_.ReleaseHandle();
  const std::uint64_t start = stream.Position();
  try {
    const std::vector<IconEntry> entries = ReadDirectory(stream);
    const IconEntry& entry = ChooseEntry(entries);
    const std::uint64_t offset = start + entry.offset;
    if (offset >= stream.Size()) Invalid();
    if (StartsWithPng(stream, offset)) {
      DecodePng(stream, bitmap_, Observer());
    } else {
      DecodeBmpEntry(stream, offset, bitmap_);
    }
  } catch (const EReadError&) {
    bitmap_.ReleaseHandle();
    throw EReadError(FormatMessage(msg::kStreamReadError, {"ICO"}));
  } catch (...) {
    bitmap_.ReleaseHandle();
    throw;
  }
}

}  // namespace qel
