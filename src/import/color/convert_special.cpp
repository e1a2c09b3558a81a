// Converters from the colour models that need arithmetic: CMYK, CIE L*a*b*, YCbCr and
// Photo-CD YCC. Each writes red, green and blue in the target order and leaves a
// target alpha sample as it is.
#include <algorithm>
#include <cmath>

#include "import/color/convert.h"

namespace qel::color_convert {
namespace {

// Writes one pixel of 8-bit results; a 16-bit target gets them widened (big-endian
// under the byte-swap option only when the source itself is 8-bit).
inline void PutPixel8(const RowSetup& setup, std::uint8_t* out, std::uint8_t red, std::uint8_t green,
                      std::uint8_t blue) {
  const std::uint8_t first = setup.target_bgr ? blue : red;
  const std::uint8_t last = setup.target_bgr ? red : blue;
  if (setup.target_bits == 16) {
    const bool big_endian = setup.byte_swap && setup.source_bits != 16;
    Store16(out, Scale8To16(first), big_endian);
    Store16(out + 2, Scale8To16(green), big_endian);
    Store16(out + 4, Scale8To16(last), big_endian);
  } else {
    out[0] = first;
    out[1] = green;
    out[2] = last;
  }
}

// Writes one pixel of 16-bit results into a 16-bit target.
inline void PutPixel16(const RowSetup& setup, std::uint8_t* out, std::uint16_t red, std::uint16_t green,
                       std::uint16_t blue) {
  Store16(out, setup.target_bgr ? blue : red, false);
  Store16(out + 2, green, false);
  Store16(out + 4, setup.target_bgr ? red : blue, false);
}

inline std::size_t TargetStep(const RowSetup& setup) {
  return std::size_t(setup.target_channels) * (setup.target_bits == 16 ? 2 : 1);
}

// --- CMYK ----------------------------------------------------------------------------

// 8-bit ink X under black K.
inline std::uint8_t Ink8(std::int32_t x, std::int32_t k) {
  return Clamp8(x * k / 255 - x - k + 255);
}

// 16-bit ink X under black K, reduced to 8 bits.
inline std::uint8_t Ink16To8(std::uint32_t x, std::uint32_t k) {
  const std::uint32_t m = x * k / 65535u;
  const std::uint32_t covered = (x + k - m) & 0xFFFFu;
  return Clamp8(255 - std::int32_t(covered * 255u / 65535u));
}

// 16-bit ink X under black K, kept at 16 bits.
inline std::uint16_t Ink16(std::uint32_t x, std::uint32_t k) {
  return std::uint16_t((x * k / 65535u - x - k - 1u) & 0xFFFFu);
}

}  // namespace

void CmykRow(const RowSetup& setup, const SourceCursor& source, std::uint8_t* target, std::size_t count,
             std::uint8_t mask) {
  const std::size_t target_step = TargetStep(setup);
  const bool wide_source = setup.source_bits == 16;
  const bool wide_target = setup.target_bits == 16;
  const bool swap = setup.byte_swap;
  std::size_t j = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (!Selected(mask, i)) continue;
    const std::size_t at = j++ * source.step;
    std::uint8_t* out = target + i * target_step;
    if (!wide_source) {
      const std::int32_t k = source.channel[3][at];
      PutPixel8(setup, out, Ink8(source.channel[0][at], k), Ink8(source.channel[1][at], k),
                Ink8(source.channel[2][at], k));
      continue;
    }
    const std::uint32_t c = Load16(source.channel[0] + at, swap);
    const std::uint32_t m = Load16(source.channel[1] + at, swap);
    const std::uint32_t y = Load16(source.channel[2] + at, swap);
    const std::uint32_t k = Load16(source.channel[3] + at, swap);
    if (wide_target) {
      PutPixel16(setup, out, Ink16(c, k), Ink16(m, k), Ink16(y, k));
    } else {
      PutPixel8(setup, out, Ink16To8(c, k), Ink16To8(m, k), Ink16To8(y, k));
    }
  }
}

// --- CIE L*a*b* -------------------------------------------------------------------------

namespace {

// The white of CIE L*a*b* data: D50, the white of print and of colour management.
constexpr double kWhiteX = 0.96422;
constexpr double kWhiteZ = 0.82521;
constexpr double kEpsilon = 216.0 / 24389.0;
constexpr double kKappa = 24389.0 / 27.0;

// From XYZ under D50 to linear sRGB: the Bradford adaptation to the D65 white of sRGB
// and the sRGB primaries in one matrix.
constexpr double kXyzToLinearRgb[3][3] = {
    {3.1338561, -1.6168667, -0.4906146},
    {-0.9787684, 1.9161415, 0.0334540},
    {0.0719453, -0.2289914, 1.4052427},
};

// The inverse of the L*a*b* companding for the X and Z channels.
inline double LabInverse(double f) {
  const double cube = f * f * f;
  return cube > kEpsilon ? cube : (116.0 * f - 16.0) / kKappa;
}

// A linear sRGB value, clipped to 0..1, through the sRGB transfer curve to 0..255.
inline std::uint8_t EncodeSrgb(double linear) {
  const double v = std::clamp(linear, 0.0, 1.0);
  const double encoded = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1.0 / 2.4) - 0.055;
  return std::uint8_t(std::nearbyint(encoded * 255.0));
}

// L in 0..100 (larger values give clipped colours), a and b around 0.
void LabToRgb(double l, double a, double b, std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) {
  const double fy = (l + 16.0) / 116.0;
  const double x = kWhiteX * LabInverse(fy + a / 500.0);
  const double y = l > kKappa * kEpsilon ? fy * fy * fy : l / kKappa;
  const double z = kWhiteZ * LabInverse(fy - b / 200.0);
  const auto& m = kXyzToLinearRgb;
  red = EncodeSrgb(m[0][0] * x + m[0][1] * y + m[0][2] * z);
  green = EncodeSrgb(m[1][0] * x + m[1][1] * y + m[1][2] * z);
  blue = EncodeSrgb(m[2][0] * x + m[2][1] * y + m[2][2] * z);
}

}  // namespace

// 16-bit samples are read as 8-bit values with eight fraction bits: L 0..65535 stands
// for the byte range 0..255, a and b are offset by 32768 or signed 16-bit values.
void LabRow(const RowSetup& setup, const SourceCursor& source, std::uint8_t* target, std::size_t count,
            std::uint8_t mask) {
  const std::size_t target_step = TargetStep(setup);
  const bool wide_source = setup.source_bits == 16;
  std::size_t j = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (!Selected(mask, i)) continue;
    const std::size_t at = j++ * source.step;
    double l, a, b;
    if (!wide_source) {
      l = source.channel[0][at];
      const std::uint8_t ra = source.channel[1][at];
      const std::uint8_t rb = source.channel[2][at];
      a = setup.lab_chroma_offset ? ra - 128.0 : double(std::int8_t(ra));
      b = setup.lab_chroma_offset ? rb - 128.0 : double(std::int8_t(rb));
    } else {
      l = Load16(source.channel[0] + at, setup.byte_swap) / 256.0;
      const std::uint16_t ra = Load16(source.channel[1] + at, setup.byte_swap);
      const std::uint16_t rb = Load16(source.channel[2] + at, setup.byte_swap);
      a = (setup.lab_chroma_offset ? ra - 32768.0 : double(std::int16_t(ra))) / 256.0;
      b = (setup.lab_chroma_offset ? rb - 32768.0 : double(std::int16_t(rb))) / 256.0;
    }
    if (setup.lab_byte_range) l /= 2.55;
    std::uint8_t red, green, blue;
    LabToRgb(l, a, b, red, green, blue);
    PutPixel8(setup, target + i * target_step, red, green, blue);
  }
}

// --- YCbCr and Photo-CD YCC ---------------------------------------------------------------

void BuildChromaTables(ChromaTables& tables, double kr, double kg, double kb, int red_center,
                       int blue_center) {
  // Weights come from files; a zero or absurd weight must not turn into an overflow.
  const auto entry = [](double v) {
    if (!std::isfinite(v)) return std::int32_t(0);
    return std::int32_t(std::nearbyint(std::clamp(v, -65536.0, 65536.0)));
  };
  const double cr = 2.0 - 2.0 * kr;
  const double cb = 2.0 - 2.0 * kb;
  const double gr = kr * cr / kg;
  const double gb = kb * cb / kg;
  for (int i = 0; i < 256; ++i) {
    tables.red_from_cr[i] = entry(cr * (i - red_center));
    tables.blue_from_cb[i] = entry(cb * (i - blue_center));
    tables.green_from_cr[i] = -entry(gr * (i - red_center));
    tables.green_from_cb[i] = -entry(gb * (i - blue_center));
  }
}

namespace {

inline std::uint16_t Round16(double v) {
  return std::uint16_t(std::nearbyint(std::clamp(v, 0.0, 65535.0)));
}

}  // namespace

void YCbCrRow(const RowSetup& setup, const SourceCursor& source, std::uint8_t* target, std::size_t count,
              std::uint8_t mask) {
  const std::size_t target_step = TargetStep(setup);
  const bool wide_source = setup.source_bits == 16;
  const bool wide_target = setup.target_bits == 16;
  const bool swap = setup.byte_swap;
  const ChromaTables& t = *setup.chroma;
  std::size_t j = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (!Selected(mask, i)) continue;
    const std::size_t at = j++ * source.step;
    std::uint8_t* out = target + i * target_step;
    if (wide_source && wide_target) {
      // Photo-CD scaling at full precision, centres 156 and 137 widened to 16 bits.
      const double luma = 1.3584 * Load16(source.channel[0] + at, swap);
      const double cb = double(Load16(source.channel[1] + at, swap)) - 40092.0;
      const double cr = double(Load16(source.channel[2] + at, swap)) - 35209.0;
      PutPixel16(setup, out, Round16(luma + 1.8215 * cr), Round16(luma - 0.4302726 * cb - 0.9271435 * cr),
                 Round16(luma + 2.2179 * cb));
      continue;
    }
    std::int32_t y, cb, cr;
    if (wide_source) {
      y = Scale16To8(Load16(source.channel[0] + at, swap));
      cb = Scale16To8(Load16(source.channel[1] + at, swap));
      cr = Scale16To8(Load16(source.channel[2] + at, swap));
    } else {
      y = source.channel[0][at];
      cb = source.channel[1][at];
      cr = source.channel[2][at];
    }
    PutPixel8(setup, out, Clamp8(y + t.red_from_cr[cr]),
              Clamp8(y + t.green_from_cb[cb] + t.green_from_cr[cr]), Clamp8(y + t.blue_from_cb[cb]));
  }
}

}  // namespace qel::color_convert
