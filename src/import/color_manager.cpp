// Not written yet: only construction works; every conversion refuses.
#include "import/color_manager.h"

#include "imaging/errors.h"
#include "import/messages.h"

namespace qel {

TColorManager::TColorManager() {}
void TColorManager::SetSourceColorScheme(ColorScheme scheme) { source_scheme_ = scheme; }
void TColorManager::SetTargetColorScheme(ColorScheme scheme) { target_scheme_ = scheme; }
void TColorManager::SetSourceBitsPerSample(int bits) { source_bps_ = std::uint8_t(bits); }
void TColorManager::SetTargetBitsPerSample(int bits) { target_bps_ = std::uint8_t(bits); }
void TColorManager::SetSourceSamplesPerPixel(int samples) { source_spp_ = std::uint8_t(samples); }
void TColorManager::SetTargetSamplesPerPixel(int samples) { target_spp_ = std::uint8_t(samples); }
void TColorManager::SetGamma(float, float) {}
void TColorManager::SetYCbCrParameters(std::span<const float>, int, int) {}
TPixelFormat TColorManager::PixelFormatFor(int, int) { return TPixelFormat::pfCustom; }
void TColorManager::ConvertRow(std::span<const std::uint8_t* const>, std::uint8_t*, std::size_t, std::uint8_t) {
  throw EColorConversionError(msg::kConversionImpossible);
}
Palette TColorManager::CreateGrayscalePalette(bool) const { return {}; }
Palette TColorManager::CreateColorPalette(std::span<const std::uint8_t* const>, RawPaletteFormat, std::size_t,
                                          bool) const {
  return {};
}

}  // namespace qel
