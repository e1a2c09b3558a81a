#include "import/jpeg/reader.h"

#include <cstdint>
#include <vector>

#include "import/codecs/libjpeg_decode.h"
#include "import/jpeg/exif_orientation.h"

namespace qel {

const GraphicClass& TJPEGImage::StaticClass() {
  static const GraphicClass cls("TJPEGImage", &TGraphic::StaticClass(), &MakeGraphic<TJPEGImage>);
  return cls;
}

void TJPEGImage::LoadFromStream(TStream& stream) {
  std::vector<std::uint8_t> exif;
  DecodeJpeg(stream, bitmap_, Observer(), &exif);
  // Cameras store the picture as the sensor saw it and say in the Exif block how to
  // turn it upright; a block without a usable orientation leaves the picture as stored.
  bitmap_.ApplyOrientation(ExifOrientation(exif));
}

}  // namespace qel
