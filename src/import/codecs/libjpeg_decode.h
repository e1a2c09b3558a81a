// JPEG decoding through libjpeg.
#pragma once

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
void DecodeJpeg(TStream& stream, TBitmap& bitmap, ProgressObserver* observer = nullptr);

}  // namespace qel
