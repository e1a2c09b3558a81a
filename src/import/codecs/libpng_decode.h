// PNG decoding through libpng, shared by TPNGObject and by icons with PNG entries.
#pragma once

namespace qel {

class TStream;
class TBitmap;
class ProgressObserver;

// Decodes the PNG that starts at the stream's position into the bitmap: every colour
// type and bit depth, interlaced or not; 16-bit samples keep their high byte. An image
// with an alpha channel or a tRNS chunk becomes a 32-bit alpha-blended bitmap marked
// transparent, any other a 24-bit bitmap. Gamma and colour profiles are not applied.
// Data that ends after some rows keeps them (the rest white) and warns the observer.
// Errors (libpng's, a stream that ends before any row, a picture beyond the limits)
// leave the bitmap empty and raise EInvalidGraphic (EOutOfResources for the size) with
// the reason; libpng's warnings go to the observer when there is one.
void DecodePng(TStream& stream, TBitmap& bitmap, ProgressObserver* observer = nullptr);

}  // namespace qel
