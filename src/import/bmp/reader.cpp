// The bitmap reader: BMP files ("BM" and a file header) and packed bitmaps (.dib files
// that start with the information header).
#include "imaging/errors.h"
#include "imaging/stream.h"
#include "import/codecs/dib_header.h"
#include "import/codecs/dib_pixels.h"
#include "import/framework/bitmap.h"
#include "import/framework/messages.h"

namespace qel {

namespace {

bool StartsWithFileHeader(TStream& stream) {
  std::uint8_t sig[2] = {};
  return PeekBytes(stream, sig) && sig[0] == 'B' && sig[1] == 'M';
}

// Where the pixels of a BMP file start: at the file header's offset, unless that lies
// inside the headers, at the palette's very start (a common writer's slip), or past
// the end of the file; then right after the palette.
std::uint64_t PixelPosition(const BmpInfoHeader& h, std::uint64_t file_start, std::uint32_t offset,
                            std::uint64_t palette_pos, std::uint64_t end) {
  const std::uint64_t packed = palette_pos + std::uint64_t(h.PaletteEntries()) * h.PaletteEntrySize();
  const std::uint64_t stated = file_start + offset;
  if (stated < palette_pos || stated >= end || (stated == palette_pos && packed != palette_pos))
    return packed;
  return stated;
}

}  // namespace

void TBitmap::LoadFromStream(TStream& stream) {
  ReleaseHandle();
  const std::uint64_t start = stream.Position(), end = stream.Size();
  try {
    BmpLayout layout;
    BmpInfoHeader header;
    if (StartsWithFileHeader(stream)) {
      const BmpFileHeader file = ReadBmpFileHeader(stream);
      header = ReadBmpInfoHeader(stream);
      layout.palette_pos = stream.Position();
      layout.pixel_pos = PixelPosition(header, start, file.pixel_offset, layout.palette_pos, end);
      layout.data_end = end;
    } else {
      header = ReadBmpInfoHeader(stream);
      layout = PackedBmpLayout(header, start, end);
    }
    DecodeBmpPixels(stream, header, layout, *this);
  } catch (const EReadError&) {
    ReleaseHandle();
    throw EReadError(FormatMessage(msg::kStreamReadError, {"BMP"}));
  } catch (...) {
    ReleaseHandle();
    throw;
  }
}

}  // namespace qel
