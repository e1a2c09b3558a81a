// TEPSGraphic: shows the TIFF preview that a binary Encapsulated PostScript file
// carries. The PostScript itself is not interpreted; the preview is read by the
// import library's TIFF reader, which the framework hands out.
#pragma once

#include <cstddef>
#include <cstdint>

#include "import/framework/import_graphic.h"

namespace qel {

class TStream;

// The 30-byte header of a binary EPS file (little-endian). Offsets count from the
// start of the header.
struct EPSHeader {
  static constexpr std::uint32_t kMagic = 0xC6D3D0C5u;  // bytes C5 D0 D3 C6
  static constexpr std::size_t kSize = 30;

  std::uint32_t magic = 0;
  std::uint32_t postscript_offset = 0;
  std::uint32_t postscript_length = 0;
  std::uint32_t metafile_offset = 0;
  std::uint32_t metafile_length = 0;
  std::uint32_t tiff_offset = 0;
  std::uint32_t tiff_length = 0;
  std::uint16_t checksum = 0;  // not checked

  // True when a TIFF preview lies beyond the header and inside stream_size bytes
  // counted from the header's start.
  bool HasTIFFPreview(std::uint64_t stream_size) const;
};

// Reads the header at the stream's position; false when the stream is too short.
bool ReadEPSHeader(TStream& stream, EPSHeader& header);

class TEPSGraphic : public TImportGraphic {
 public:
  static constexpr const char* kFormatName = "EPS";

  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }

  // The binary EPS magic and a TIFF preview inside the stream.
  bool RecognizesStream(TStream& stream) const override;
  // The properties of the TIFF preview (the TIFF reader's, "TIF/TIFF" in its messages).
  bool ReadProperties(TStream& stream, int image_index) override;
  // Loads the TIFF preview. A file without one (PostScript only) is refused with
  // "Cannot load image. PostScript without a TIFF preview is not supported for EPS files.".
  void LoadFromStream(TStream& stream) override;
};

}  // namespace qel
