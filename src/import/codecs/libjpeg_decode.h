// JPEG decoding through libjpeg.
#pragma once

#include <cstdint>
#include <vector>

namespace qel {

class TStream;
class TBitmap;
class ProgressObserver;

// Decodes the JPEG that starts at the stream's position into a 24-bit bitmap: grey,
// YCbCr and RGB files directly, CMYK and YCCK files through the inverted (Adobe)
// convention that CMYK JPEG writers follow. Baseline and progressive files alike;
// the decoder's defaults (accurate integer IDCT, smooth upsampling) are kept.
// A file libjpeg cannot decode raises EInvalidGraphic with libjpeg's message and
// leaves the bitmap empty. Damaged or missing entropy data is libjpeg's warning, not
// an error: the picture is shown as far as it goes (libjpeg fills the rest), and the
// first warning goes to the observer.
// When exif is given it receives the payload of the file's first APP1 segment that
// starts with the Exif signature "Exif\0\0" (signature included), or nothing.
void DecodeJpeg(TStream& stream, TBitmap& bitmap, ProgressObserver* observer = nullptr,
                std::vector<std::uint8_t>* exif = nullptr);

}  // namespace qel
