#include "import/tiff/rows.h"

#include <cstring>

namespace qel::tiff {

void UndoHorizontalDifferencing(std::uint8_t* row, std::size_t pixel_count, int samples, int bits,
                                bool big_endian) {
  if (pixel_count < 2 || samples < 1) return;
  const std::size_t stride = std::size_t(samples);
  const std::size_t total = pixel_count * stride;
  if (bits == 8) {
    // The usual layouts keep each channel's running sum in a register.
    if (stride == 3) {
      std::uint8_t a = row[0], b = row[1], c = row[2];
      for (std::size_t i = 3; i < total; i += 3) {
        a = std::uint8_t(a + row[i]);
        b = std::uint8_t(b + row[i + 1]);
        c = std::uint8_t(c + row[i + 2]);
        row[i] = a;
        row[i + 1] = b;
        row[i + 2] = c;
      }
    } else if (stride == 4) {
      std::uint8_t a = row[0], b = row[1], c = row[2], d = row[3];
      for (std::size_t i = 4; i < total; i += 4) {
        a = std::uint8_t(a + row[i]);
        b = std::uint8_t(b + row[i + 1]);
        c = std::uint8_t(c + row[i + 2]);
        d = std::uint8_t(d + row[i + 3]);
        row[i] = a;
        row[i + 1] = b;
        row[i + 2] = c;
        row[i + 3] = d;
      }
    } else {
      for (std::size_t i = stride; i < total; ++i) row[i] = std::uint8_t(row[i] + row[i - stride]);
    }
  } else if (bits == 16) {
    const auto load = [&](std::size_t i) -> unsigned {
      const std::uint8_t* p = row + 2 * i;
      return big_endian ? unsigned((p[0] << 8) | p[1]) : unsigned(p[0] | (p[1] << 8));
    };
    for (std::size_t i = stride; i < total; ++i) {
      const unsigned v = (load(i) + load(i - stride)) & 0xFFFFu;
      std::uint8_t* p = row + 2 * i;
      p[big_endian ? 0 : 1] = std::uint8_t(v >> 8);
      p[big_endian ? 1 : 0] = std::uint8_t(v);
    }
  }
}

void KeepLeadingSamples(const std::uint8_t* in, std::uint8_t* out, std::size_t pixel_count, int samples,
                        int keep, int sample_bytes) {
  const std::size_t in_step = std::size_t(samples) * std::size_t(sample_bytes);
  const std::size_t out_step = std::size_t(keep) * std::size_t(sample_bytes);
  for (std::size_t i = 0; i < pixel_count; ++i) std::memcpy(out + i * out_step, in + i * in_step, out_step);
}

void GrayAlphaToRGBA(const std::uint8_t* gray, const std::uint8_t* alpha, std::size_t step, std::uint8_t* out,
                     std::size_t pixel_count, int sample_bytes, bool invert) {
  const std::size_t n = std::size_t(sample_bytes);
  const std::uint8_t flip = invert ? 0xFF : 0x00;
  for (std::size_t i = 0; i < pixel_count; ++i, gray += step, alpha += step) {
    for (int c = 0; c < 3; ++c)
      for (std::size_t b = 0; b < n; ++b) *out++ = std::uint8_t(gray[b] ^ flip);
    std::memcpy(out, alpha, n);
    out += n;
  }
}

YCbCrUnits::YCbCrUnits(std::uint32_t width, int h, int v)
    : width_(width),
      h_(std::uint32_t(h)),
      v_(std::uint32_t(v)),
      units_per_row_((std::uint64_t(width) + h_ - 1) / h_),
      unit_bytes_(std::uint64_t(h_) * v_ + 2) {}

std::uint64_t YCbCrUnits::BytesForRows(std::uint32_t rows) const {
  const std::uint64_t unit_rows = (std::uint64_t(rows) + v_ - 1) / v_;
  return unit_rows * units_per_row_ * unit_bytes_;
}

void YCbCrUnits::ExpandRow(const std::uint8_t* units, std::uint32_t row, std::uint8_t* out) const {
  const std::uint8_t* unit = units + std::uint64_t(row / v_) * units_per_row_ * unit_bytes_;
  const std::uint32_t luma_row = row % v_;
  for (std::uint32_t x = 0; x < width_; x += h_, unit += unit_bytes_) {
    const std::uint8_t* luma = unit + luma_row * h_;
    const std::uint8_t cb = unit[h_ * v_];
    const std::uint8_t cr = unit[h_ * v_ + 1];
    for (std::uint32_t i = 0; i < h_ && x + i < width_; ++i) {
      *out++ = luma[i];
      *out++ = cb;
      *out++ = cr;
    }
  }
}

}  // namespace qel::tiff
