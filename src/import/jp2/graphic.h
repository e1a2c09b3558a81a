// TJpeg2000Bitmap: reads JPEG 2000 files (JP2 files and raw codestreams) into the
// bitmap it is. The writer is in output/jp2_writer.h.
#pragma once

#include <cstdint>

#include "imaging/errors.h"
#include "import/framework/bitmap.h"

namespace qel {

class EJpeg2000Error : public Error {
 public:
  using Error::Error;
};

namespace msg {
inline constexpr const char* kJp2UnknownFileType = "Unknown JPEG 2000 file type";
inline constexpr const char* kJp2DecodingFailed = "JPEG 2000 image decoding failed";
}  // namespace msg

class TJpeg2000Bitmap : public TBitmap {
 public:
  TJpeg2000Bitmap() = default;

  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }

  // Decodes the JP2 file or codestream that starts at the stream's position (the
  // content decides, not the extension). Leaves the stream after the bytes the
  // decoder consumed; on failure the bitmap is unchanged.
  void LoadFromStream(TStream& stream) override;
};

}  // namespace qel
