#include "import/targa/graphic.h"
#include "output/picture_writers.h"

namespace qel {

// A 24-bit Targa file, run-length compressed, rows top first. The picture's
// transparency travels with the copy but the file has no way to carry it.
void WriteTga(const Picture& picture, TStream& stream) {
  TTargaGraphic graphic;
  graphic.AssignPicture(picture);
  graphic.SaveToStream(stream, true);
}

}  // namespace qel
