// The Targa encoder behind WriteTga.
#pragma once

#include "import/framework/bitmap.h"

namespace qel {

class TStream;

// Writes the bitmap as a Targa file: header, colour map (of 256 entries, for bitmaps of
// 8 bits a pixel and fewer) and rows, top row first, run-length coded when compressed.
// 5-6-5 bitmaps are written as 5-5-5 words. An empty bitmap writes nothing; one wider
// or higher than 65535 pixels is refused before anything is written.
void EncodeTarga(const TBitmap& bitmap, TStream& stream, bool compressed);

}  // namespace qel
