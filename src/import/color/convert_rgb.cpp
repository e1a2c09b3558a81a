// Converters between the red-green-blue orders (RGB, BGR, each with or without alpha)
// at 8 and 16 bits per sample.
#include "import/color/convert.h"

namespace qel::color_convert {
namespace {

using GammaTable = std::array<std::uint8_t, 256>;

// One colour sample from SB to TB bytes. Gamma applies where an 8-bit value exists:
// before widening, after narrowing; 16 -> 16 passes unchanged apart from byte order.
template <int SB, int TB>
inline void PutSample(std::uint8_t* out, const std::uint8_t* in, const GammaTable& gamma, bool swap) {
  if constexpr (SB == 1 && TB == 1) {
    *out = gamma[*in];
  } else if constexpr (SB == 1) {
    Store16(out, Scale8To16(gamma[*in]), swap);
  } else if constexpr (TB == 1) {
    *out = gamma[Scale16To8(Load16(in, swap))];
  } else {
    Store16(out, Load16(in, swap), false);
  }
}

template <int SB, int TB>
void ConvertRgb(const RowSetup& setup, const SourceCursor& source, std::uint8_t* target, std::size_t count,
                std::uint8_t mask) {
  // Target slot k takes source channel k when both sides share the order, else 2 - k.
  const bool same_order = setup.source_bgr == setup.target_bgr;
  const std::uint8_t* first = source.channel[same_order ? 0 : 2];
  const std::uint8_t* second = source.channel[1];
  const std::uint8_t* third = source.channel[same_order ? 2 : 0];
  const std::uint8_t* alpha = source.channel[3];
  const bool copy_alpha = setup.source_alpha && setup.target_alpha;
  const std::size_t target_step = std::size_t(setup.target_channels) * TB;
  const std::size_t step = source.step;
  const GammaTable& gamma = *setup.gamma;
  const bool swap = setup.byte_swap;
  std::size_t j = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (!Selected(mask, i)) continue;
    const std::size_t at = j++ * step;
    std::uint8_t* out = target + i * target_step;
    PutSample<SB, TB>(out, first + at, gamma, swap);
    PutSample<SB, TB>(out + TB, second + at, gamma, swap);
    PutSample<SB, TB>(out + 2 * TB, third + at, gamma, swap);
    if (copy_alpha) PutSample<SB, TB>(out + 3 * TB, alpha + at, kIdentityTable, swap);
  }
}

}  // namespace

void RgbFamilyRow(const RowSetup& setup, const SourceCursor& source, std::uint8_t* target, std::size_t count,
                  std::uint8_t mask) {
  const bool wide_source = setup.source_bits == 16;
  const bool wide_target = setup.target_bits == 16;
  if (!wide_source && !wide_target) {
    ConvertRgb<1, 1>(setup, source, target, count, mask);
  } else if (!wide_source) {
    ConvertRgb<1, 2>(setup, source, target, count, mask);
  } else if (!wide_target) {
    ConvertRgb<2, 1>(setup, source, target, count, mask);
  } else {
    ConvertRgb<2, 2>(setup, source, target, count, mask);
  }
}

}  // namespace qel::color_convert
