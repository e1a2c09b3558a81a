// A plain libpng encoder of the rows the PNG writer writes: the reference of the
// tests and benchmarks of the PNG writer.
#pragma once

#include "imaging/picture.h"

namespace qel {

class TStream;

namespace png {

// The picture as a PNG file made by libpng in one zlib stream: truecolour, 8 bits a
// sample, filters Sub and Up, level 8, tRNS with the transparent colour when the
// picture is transparent.
void WritePngWithLibpng(const Picture& picture, TStream& stream);

}  // namespace png
}  // namespace qel
