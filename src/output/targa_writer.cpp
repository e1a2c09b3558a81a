#include "output/targa_writer.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/errors.h"
#include "imaging/stream.h"
#include "import/codecs/targa_rle.h"
#include "import/targa/header.h"
#include "output/picture_writers.h"

namespace qel {

namespace {

constexpr std::size_t kMaxPaletteEntries = 256;

// The palette an indexed bitmap is drawn with: its own, or the one the bitmap falls
// back to when it has none.
Palette DrawnPalette(const TBitmap& bitmap) {
  if (!bitmap.PaletteRef().empty()) return bitmap.PaletteRef();
  const int bits = PixelFormatBits(bitmap.PixelFormat());
  TBitmap probe;
  probe.SetPixelFormat(bitmap.PixelFormat());
  probe.SetSize(1, 1);
  Palette palette;
  std::uint8_t bgr[3];
  for (int index = 0; index < (1 << bits); ++index) {
    probe.ScanLine(0)[0] = std::uint8_t(index << (8 - bits));  // the first pixel sits in the high bits
    probe.RowToBGR(0, bgr);
    palette.push_back(PaletteEntry{bgr[2], bgr[1], bgr[0], 0});
  }
  return palette;
}

// Bytes a pixel takes in the written file for a bitmap of this format.
int WrittenBytesPerPixel(TPixelFormat format) {
  switch (format) {
    case TPixelFormat::pf1bit:
    case TPixelFormat::pf4bit:
    case TPixelFormat::pf8bit:
      return 1;
    case TPixelFormat::pf15bit:
    case TPixelFormat::pf16bit:
      return 2;
    case TPixelFormat::pf32bit:
      return 4;
    default:
      return 3;
  }
}

// Row y of the bitmap as the file stores it: palette indices widened to a byte, 5-6-5
// words narrowed to the 5-5-5 words of the format, other formats as they are.
void FileRow(const TBitmap& bitmap, int y, std::uint8_t* out) {
  const int width = bitmap.Width();
  const std::uint8_t* row = bitmap.ScanLine(y);
  switch (bitmap.PixelFormat()) {
    case TPixelFormat::pf1bit:
      for (int x = 0; x < width; ++x) out[x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
      break;
    case TPixelFormat::pf4bit:
      for (int x = 0; x < width; ++x) out[x] = (x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
      break;
    case TPixelFormat::pf8bit:
      std::memcpy(out, row, std::size_t(width));
      break;
    case TPixelFormat::pf15bit:
      std::memcpy(out, row, std::size_t(width) * 2);
      break;
    case TPixelFormat::pf16bit:
      for (int x = 0; x < width; ++x) {
        const unsigned v = unsigned(row[2 * x]) | (unsigned(row[2 * x + 1]) << 8);
        const unsigned w = ((v >> 1) & 0x7FE0) | (v & 0x1F);  // drop green's lowest bit
        out[2 * x] = std::uint8_t(w & 0xFF);
        out[2 * x + 1] = std::uint8_t(w >> 8);
      }
      break;
    case TPixelFormat::pf24bit:
      std::memcpy(out, row, std::size_t(width) * 3);
      break;
    case TPixelFormat::pf32bit:
      std::memcpy(out, row, std::size_t(width) * 4);
      break;
    default:
      bitmap.RowToBGR(y, out);
  }
}

}  // namespace

void EncodeTarga(const TBitmap& bitmap, TStream& stream, bool compressed) {
  const int bytes_per_pixel = WrittenBytesPerPixel(bitmap.PixelFormat());
  if (bitmap.Empty()) return;
  const int width = bitmap.Width(), height = bitmap.Height();
  if (width > 0xFFFF || height > 0xFFFF) {
    throw Error("Cannot save image. A Targa file holds at most 65535 x 65535 pixels.");
  }

  const bool indexed = bytes_per_pixel == 1;
  TargaHeader header;
  header.color_map_type = indexed ? 1 : 0;
  header.image_type =
      std::uint8_t(compressed ? (indexed ? TargaImageType::kColorMappedRLE : TargaImageType::kTrueColorRLE)
                              : (indexed ? TargaImageType::kColorMapped : TargaImageType::kTrueColor));
  header.color_map_length = 256;
  header.color_map_entry_bits = 24;
  header.width = std::uint16_t(width);
  header.height = std::uint16_t(height);
  header.pixel_depth = std::uint8_t(8 * bytes_per_pixel);
  header.descriptor = TargaDescriptor::kTopFirst;
  WriteTargaHeader(stream, header);

  if (indexed) {
    const Palette palette = DrawnPalette(bitmap);
    std::vector<std::uint8_t> map(3 * kMaxPaletteEntries, 0);
    for (std::size_t i = 0; i < std::min(palette.size(), kMaxPaletteEntries); ++i) {
      map[3 * i] = palette[i].blue;
      map[3 * i + 1] = palette[i].green;
      map[3 * i + 2] = palette[i].red;
    }
    stream.Write(map.data(), map.size());
  }

  const std::size_t row_bytes = std::size_t(width) * std::size_t(bytes_per_pixel);
  // FileRow may widen the row to 3 bytes a pixel for formats it converts.
  std::vector<std::uint8_t> row(std::size_t(width) * 4);
  TTargaRLEDecoder codec(8 * bytes_per_pixel);
  std::vector<std::uint8_t> packed(compressed ? codec.MaxEncodedSize(std::size_t(width)) : 0);
  for (int y = 0; y < height; ++y) {
    FileRow(bitmap, y, row.data());
    if (compressed) {
      const std::size_t stored = codec.Encode(row.data(), packed.data(), std::size_t(width));
      stream.Write(packed.data(), stored);
    } else {
      stream.Write(row.data(), row_bytes);
    }
  }
}

// A 24-bit Targa file, run-length compressed, rows top first. The picture's
// transparency travels with the copy but the file has no way to carry it.
void WriteTga(const Picture& picture, TStream& stream) {
  TBitmap bitmap;
  bitmap.AssignPicture(picture);
  EncodeTarga(bitmap, stream, true);
}

}  // namespace qel
