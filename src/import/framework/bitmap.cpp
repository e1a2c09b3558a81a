#include "import/framework/bitmap.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "imaging/errors.h"

namespace qel {

int PixelFormatBits(TPixelFormat format) {
  switch (format) {
    case TPixelFormat::pf1bit:
      return 1;
    case TPixelFormat::pf4bit:
      return 4;
    case TPixelFormat::pf8bit:
      return 8;
    case TPixelFormat::pf15bit:
    case TPixelFormat::pf16bit:
      return 16;
    case TPixelFormat::pf24bit:
      return 24;
    case TPixelFormat::pf32bit:
      return 32;
    default:
      return 0;
  }
}

std::size_t BitmapRowSize(TPixelFormat format, int width) {
  return ((std::size_t(width) * std::size_t(PixelFormatBits(format)) + 31) / 32) * 4;
}

const GraphicClass& TBitmap::StaticClass() {
  static const GraphicClass cls("TBitmap", &TGraphic::StaticClass(), &MakeGraphic<TBitmap>);
  return cls;
}

void TBitmap::Allocate() {
  if (format_ == TPixelFormat::pfDevice || format_ == TPixelFormat::pfCustom) {
    throw EInvalidGraphic("Invalid pixel format for a bitmap.");
  }
  row_size_ = BitmapRowSize(format_, width_);
  data_.reset();
  const std::size_t bytes = row_size_ * std::size_t(height_);
  if (bytes == 0) return;
  data_ = AllocatePixelMemory(bytes, "bitmap");
  // Indexed bitmaps start at index 0, the others white, as a fresh bitmap does.
  std::memset(data_.get(), PixelFormatBits(format_) <= 8 ? 0 : 0xFF, bytes);
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == format_ && data_) return;
  format_ = format;
  if (format_ == TPixelFormat::pfDevice || format_ == TPixelFormat::pfCustom) return;
  Allocate();
}

void TBitmap::SetSize(int width, int height) {
  CheckPictureSize(width, height);
  width_ = width;
  height_ = height;
  Allocate();
}

void TBitmap::ReleaseHandle() {
  width_ = height_ = 0;
  row_size_ = 0;
  data_.reset();
  palette_.clear();
  transparent_ = false;
  transparent_color_ = kNoColor;
  alpha_blended_ = false;
}

namespace {

// 5- and 6-bit channels widened to 8 bits the way the common peers do it.
inline std::uint8_t Widen5(unsigned v) {
  return std::uint8_t(v * 255 / 31);
}
inline std::uint8_t Widen6(unsigned v) {
  return std::uint8_t(v * 255 / 63);
}

inline void PutIndexed(const Palette& palette, unsigned index, std::uint8_t* out) {
  if (index < palette.size()) {
    out[0] = palette[index].blue;
    out[1] = palette[index].green;
    out[2] = palette[index].red;
  } else {
    out[0] = out[1] = out[2] = 0;
  }
}

// The palette an indexed bitmap draws with when it has none of its own.
Palette DefaultPalette(TPixelFormat format) {
  Palette p;
  if (format == TPixelFormat::pf1bit) {
    p = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  } else if (format == TPixelFormat::pf4bit) {
    static constexpr std::uint8_t kVga[16][3] = {
        {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},  {0, 0, 128}, {128, 0, 128},
        {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},    {0, 255, 0}, {255, 255, 0},
        {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
    for (const auto& c : kVga) p.push_back({c[0], c[1], c[2], 0});
  } else {
    for (int i = 0; i < 256; ++i) p.push_back({std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0});
  }
  return p;
}

}  // namespace

void TBitmap::RowToBGR(int y, std::uint8_t* out) const {
  const std::uint8_t* row = ScanLine(y);
  const int w = width_;
  const bool indexed = PixelFormatBits(format_) <= 8;
  const Palette fallback = indexed && palette_.empty() ? DefaultPalette(format_) : Palette();
  const Palette& pal = palette_.empty() ? fallback : palette_;
  switch (format_) {
    case TPixelFormat::pf1bit:
      for (int x = 0; x < w; ++x) PutIndexed(pal, (row[x >> 3] >> (7 - (x & 7))) & 1, out + 3 * x);
      break;
    case TPixelFormat::pf4bit:
      for (int x = 0; x < w; ++x)
        PutIndexed(pal, (x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4, out + 3 * x);
      break;
    case TPixelFormat::pf8bit:
      for (int x = 0; x < w; ++x) PutIndexed(pal, row[x], out + 3 * x);
      break;
    case TPixelFormat::pf15bit:
      for (int x = 0; x < w; ++x) {
        unsigned v = unsigned(row[2 * x]) | (unsigned(row[2 * x + 1]) << 8);
        out[3 * x] = Widen5(v & 0x1F);
        out[3 * x + 1] = Widen5((v >> 5) & 0x1F);
        out[3 * x + 2] = Widen5((v >> 10) & 0x1F);
      }
      break;
    case TPixelFormat::pf16bit:
      for (int x = 0; x < w; ++x) {
        unsigned v = unsigned(row[2 * x]) | (unsigned(row[2 * x + 1]) << 8);
        out[3 * x] = Widen5(v & 0x1F);
        out[3 * x + 1] = Widen6((v >> 5) & 0x3F);
        out[3 * x + 2] = Widen5((v >> 11) & 0x1F);
      }
      break;
    case TPixelFormat::pf24bit:
      std::memcpy(out, row, std::size_t(w) * 3);
      break;
    case TPixelFormat::pf32bit:
      for (int x = 0; x < w; ++x) std::memcpy(out + 3 * x, row + 4 * x, 3);
      break;
    default:
      std::memset(out, 0, std::size_t(w) * 3);
  }
}

TColor TBitmap::PixelColor(int x, int y) const {
  std::vector<std::uint8_t> row(std::size_t(width_) * 3);
  RowToBGR(y, row.data());
  return RGBColor(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
}

void TBitmap::Draw(Picture& target, int x, int y) const {
  if (!data_ || width_ == 0 || height_ == 0) return;
  const int x0 = std::max(0, x), x1 = std::min(target.Width(), x + width_);
  const int y0 = std::max(0, y), y1 = std::min(target.Height(), y + height_);
  if (x0 >= x1 || y0 >= y1) return;
  std::vector<std::uint8_t> bgr(std::size_t(width_) * 3);
  const bool blend = alpha_blended_ && format_ == TPixelFormat::pf32bit;
  TColor key = 0;
  if (transparent_ && !blend)
    key = transparent_color_ != kNoColor ? transparent_color_ : PixelColor(0, height_ - 1);
  for (int ty = y0; ty < y1; ++ty) {
    const int sy = ty - y;
    RowToBGR(sy, bgr.data());
    std::uint8_t* dst = target.Row(ty);
    if (blend) {
      const std::uint8_t* src = ScanLine(sy);
      for (int tx = x0; tx < x1; ++tx) {
        const int sx = tx - x;
        const unsigned a = src[4 * sx + 3];
        std::uint8_t* d = dst + 3 * tx;
        for (int c = 0; c < 3; ++c) d[c] = std::uint8_t((src[4 * sx + c] * a + d[c] * (255 - a) + 127) / 255);
      }
    } else if (transparent_) {
      for (int tx = x0; tx < x1; ++tx) {
        const std::uint8_t* s = &bgr[3 * std::size_t(tx - x)];
        if (RGBColor(s[2], s[1], s[0]) == key) continue;
        std::memcpy(dst + 3 * tx, s, 3);
      }
    } else {
      std::memcpy(dst + 3 * x0, &bgr[3 * std::size_t(x0 - x)], std::size_t(x1 - x0) * 3);
    }
  }
}

bool TBitmap::TakePicture(Picture& out) {
  if (format_ != TPixelFormat::pf24bit || transparent_ || !data_) return false;
  out = Picture::Adopt(width_, height_, std::move(data_));
  out.SetPalette(std::move(palette_));
  ReleaseHandle();
  return true;
}

void TBitmap::AssignPicture(const Picture& picture) {
  format_ = TPixelFormat::pf24bit;
  SetSize(picture.Width(), picture.Height());
  for (int y = 0; y < height_; ++y) std::memcpy(ScanLine(y), picture.Row(y), std::size_t(width_) * 3);
  palette_ = picture.GetPalette();
  transparent_ = picture.Transparent();
  transparent_color_ = kNoColor;
  alpha_blended_ = false;
}

namespace {

// Pixel x of a row holding pixels of the given bits (1, 4 or a multiple of 8), as a
// number; sub-byte pixels are packed from the high bits down.
std::uint32_t GetPixelBits(const std::uint8_t* row, int x, int bits) {
  if (bits == 1) return (row[x >> 3] >> (7 - (x & 7))) & 1u;
  if (bits == 4) return (x & 1) ? row[x >> 1] & 0x0Fu : row[x >> 1] >> 4;
  std::uint32_t v = 0;
  std::memcpy(&v, row + std::size_t(x) * std::size_t(bits / 8), std::size_t(bits / 8));
  return v;
}

void SetPixelBits(std::uint8_t* row, int x, int bits, std::uint32_t v) {
  if (bits == 1) {
    const int shift = 7 - (x & 7);
    row[x >> 3] = std::uint8_t((row[x >> 3] & ~(1u << shift)) | (v << shift));
  } else if (bits == 4) {
    std::uint8_t& b = row[x >> 1];
    b = (x & 1) ? std::uint8_t((b & 0xF0) | v) : std::uint8_t((b & 0x0F) | (v << 4));
  } else {
    std::memcpy(row + std::size_t(x) * std::size_t(bits / 8), &v, std::size_t(bits / 8));
  }
}

}  // namespace

void TBitmap::ApplyOrientation(int orientation) {
  if (orientation < 2 || orientation > 8 || !data_ || width_ == 0 || height_ == 0) return;
  const int bits = PixelFormatBits(format_);
  if (bits == 0) return;
  const int w = width_, h = height_;
  const bool swap = orientation >= 5;
  const int out_w = swap ? h : w, out_h = swap ? w : h;
  const std::size_t out_row_size = BitmapRowSize(format_, out_w);
  auto out = std::make_unique<std::uint8_t[]>(out_row_size * std::size_t(out_h));
  std::memset(out.get(), 0, out_row_size * std::size_t(out_h));
  for (int y = 0; y < out_h; ++y) {
    std::uint8_t* dst = out.get() + std::size_t(y) * out_row_size;
    for (int x = 0; x < out_w; ++x) {
      int sx = x, sy = y;
      switch (orientation) {
        case 2:
          sx = w - 1 - x;
          break;
        case 3:
          sx = w - 1 - x;
          sy = h - 1 - y;
          break;
        case 4:
          sy = h - 1 - y;
          break;
        case 5:
          sx = y;
          sy = x;
          break;
        case 6:
          sx = y;
          sy = h - 1 - x;
          break;
        case 7:
          sx = w - 1 - y;
          sy = h - 1 - x;
          break;
        default:
          sx = w - 1 - y;
          sy = x;
          break;  // 8
      }
      SetPixelBits(dst, x, bits, GetPixelBits(ScanLine(sy), sx, bits));
    }
  }
  data_ = std::move(out);
  width_ = out_w;
  height_ = out_h;
  row_size_ = out_row_size;
}

void ApplyDeclaredAlpha(TBitmap& bitmap, AlphaKind kind) {
  if (bitmap.PixelFormat() != TPixelFormat::pf32bit) return;
  const int width = bitmap.Width(), height = bitmap.Height();
  bool any_alpha = false, translucent = false;
  for (int y = 0; y < height && !(any_alpha && translucent); ++y) {
    const std::uint8_t* p = bitmap.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      const std::uint8_t a = p[4 * x + 3];
      any_alpha |= a != 0;
      translucent |= a != 255;
    }
  }
  if (!any_alpha) {
    bitmap.SetAlphaBlended(false);
    return;
  }
  if (kind == AlphaKind::kAssociated && translucent) {
    for (int y = 0; y < height; ++y) {
      std::uint8_t* p = bitmap.ScanLine(y);
      for (int x = 0; x < width; ++x, p += 4) {
        const unsigned a = p[3];
        if (a == 255) continue;
        for (int c = 0; c < 3; ++c)
          p[c] = a == 0 ? 0 : std::uint8_t(std::min(255u, (p[c] * 255u + a / 2) / a));
      }
    }
  }
  bitmap.SetAlphaBlended(true);
  bitmap.SetTransparent(translucent);
}

}  // namespace qel
