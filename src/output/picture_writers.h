// The encoders behind SavePictureFile, one per written format. Each writes a complete
// file of the picture to the stream with the format's fixed settings.
#pragma once

#include "imaging/picture.h"
#include "output/bmp_writer.h"
#include "output/write_options.h"

namespace qel {

class TStream;

void WriteJp2(const Picture& picture, TStream& stream);   // JPEG 2000 (JP2), quality 90
void WriteTga(const Picture& picture, TStream& stream);   // Targa, run-length compressed
void WriteJpeg(const Picture& picture, TStream& stream);  // JPEG, quality 90, baseline
void WritePng(const Picture& picture, TStream& stream);   // PNG, truecolour, level 8, Sub/Up
void WriteGif(const Picture& picture, TStream& stream);   // GIF, octree palette with system colours
void WriteEmf(const Picture& picture, TStream& stream);   // enhanced metafile of the picture
void WriteWebp(const Picture& picture, TStream& stream);  // WebP, lossy, quality 90

// The writers that take a choice, with it.
void WriteJpegWith(const Picture& picture, TStream& stream, const WriteOptions& options);
// Lossy at the options' quality, or lossless; a transparent picture's transparent colour
// becomes fully transparent pixels. At most 16383 pixels a side.
void WriteWebpWith(const Picture& picture, TStream& stream, const WriteOptions& options);

}  // namespace qel
