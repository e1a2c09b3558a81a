#include "import/jp2/graphic.h"
#include "output/picture_writers.h"

namespace qel {

// A JP2 file of the picture: lossy at quality 90. The picture's transparency travels
// with the copy but the file does not carry it.
void WriteJp2(const Picture& picture, TStream& stream) {
  TJpeg2000Bitmap graphic;
  graphic.SetLosslessMode(false);
  graphic.SetQualityPercent(90);
  graphic.AssignPicture(picture);
  graphic.SaveToStream(stream);
}

}  // namespace qel
