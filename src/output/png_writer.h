// The parts of the PNG encoder: row filtering and the image data deflated in row bands
// on several threads.
//
// The image data is one zlib stream whatever the number of bands: each band of rows
// is deflated on its own by libdeflate as a whole raw deflate stream, without looking
// back into the band before it; every band but the last is then made to continue
// (deflate_join.h: its final-block bit cleared, an empty stored block after it), so
// the bands join into one valid deflate stream that the last band ends. The Adler-32
// checksums of the bands are combined into the stream's checksum. Decoders see an
// ordinary PNG, so the pixels are the same as with one stream; only the compressed
// bytes differ. Starting a band afresh costs a kilobyte or two of output.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/picture.h"

namespace qel {

class TStream;

namespace png {

inline constexpr std::uint8_t kFilterSub = 1;
inline constexpr std::uint8_t kFilterUp = 2;

// Filters one row of bytes with 3 bytes a pixel by Sub or by Up, whichever makes the
// smaller sum of the filtered bytes read as signed magnitudes (a byte v counts
// min(v, 256 - v)), Sub on a tie: the choice libpng makes with these two filters.
// previous is the row above (all zeros above the first row). out receives the filter
// type byte and the length filtered bytes; the type is returned.
std::uint8_t FilterRow(const std::uint8_t* row, const std::uint8_t* previous, std::size_t length,
                       std::uint8_t* out);
// Filters one row with the given filter (Sub or Up), as FilterRow lays it out.
void ApplyFilter(std::uint8_t type, const std::uint8_t* row, const std::uint8_t* previous, std::size_t length,
                 std::uint8_t* out);
// The filter every row of a picture of this size gets, or 0 when FilterRow chooses row
// by row. Like libpng, a picture one pixel wide is filtered by Up and one a single row
// high by Sub. For a single pixel libpng writes no filter at all; Sub gives the same
// bytes and keeps to the two filters.
std::uint8_t FixedFilter(int width, int height);

struct BandOptions {
  // Filtered bytes of one band, at least; a band is a whole number of rows.
  std::size_t band_bytes = std::size_t(1) << 20;
  // Threads that deflate bands, the calling thread included; 0 means one for each core.
  unsigned threads = 0;
};

// Writes the picture as a PNG file: signature, IHDR (truecolour, 8 bits a sample, not
// interlaced), tRNS with the transparent colour when the picture is transparent, IDAT
// chunks of at most 65535 bytes, IEND. Rows filtered by FilterRow; the image data
// deflated more tightly than zlib's level 8 does on pictures (see png_writer.cpp).
void WritePngInBands(const Picture& picture, TStream& stream, const BandOptions& options);

}  // namespace png
}  // namespace qel
