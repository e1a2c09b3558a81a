#include "import/avif/library.h"

namespace qel::avif {

Library::Library() : shared(QEL_AVIF_LIBRARY) {
  QEL_BIND_FUNCTION(shared, avifDecoderCreate);
  QEL_BIND_FUNCTION(shared, avifDecoderDestroy);
  QEL_BIND_FUNCTION(shared, avifDecoderSetIOMemory);
  QEL_BIND_FUNCTION(shared, avifDecoderParse);
  QEL_BIND_FUNCTION(shared, avifDecoderNextImage);
  QEL_BIND_FUNCTION(shared, avifRGBImageSetDefaults);
  QEL_BIND_FUNCTION(shared, avifImageYUVToRGB);
}

}  // namespace qel::avif
