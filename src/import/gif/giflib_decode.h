// GIF decoding through giflib: the first frame of a file.
#pragma once

namespace qel {

class TStream;
class TBitmap;
class ProgressObserver;

// Decodes the first frame of the GIF that starts at the stream's position onto a
// canvas of the logical screen's size (grown to hold the frame when it reaches
// beyond). Pixels of the transparent index of the graphic control extension before
// the frame, and the canvas outside the frame when there is such an index, are
// transparent: the bitmap is then 32-bit alpha-blended and marked transparent,
// otherwise 24-bit. Outside the frame an opaque canvas shows colour 0 of the frame's
// palette; a file without any palette shows its indices as grey levels. The bitmap
// keeps the palette. A frame whose data ends (or fails) after some of its rows keeps
// those rows, the others white, and the observer gets a warning. Other errors raise
// EInvalidGraphic with giflib's reason and leave the bitmap empty.
void DecodeGifFirstFrame(TStream& stream, TBitmap& bitmap, ProgressObserver* observer = nullptr);

}  // namespace qel
