// Row preparation between a decoded TIFF strip and the colour manager: undoing the
// horizontal differencing predictor, dropping samples that the colour layout does not
// use, spreading gray and alpha to colour, and spreading subsampled YCbCr data units to
// one Y, Cb, Cr triple per pixel.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qel::tiff {

// Undoes horizontal differencing (predictor 2) in place over one row of pixel_count
// pixels of samples samples each. 8-bit samples add the sample one pixel before them
// modulo 256; 16-bit samples, stored big-endian when big_endian is set, modulo 65536.
// Other sample sizes are left alone (the caller refuses them).
void UndoHorizontalDifferencing(std::uint8_t* row, std::size_t pixel_count, int samples, int bits,
                                bool big_endian);

// Copies the first keep samples of each pixel of a row of pixel_count pixels with
// samples samples of sample_bytes bytes each; out holds pixel_count x keep samples.
void KeepLeadingSamples(const std::uint8_t* in, std::uint8_t* out, std::size_t pixel_count, int samples,
                        int keep, int sample_bytes);

// Spreads gray and alpha samples (1 or 2 bytes each, 16-bit ones in the file's byte
// order) of pixel_count pixels, step bytes apart, to red, green, blue and alpha samples
// of the same size in out. invert turns minimum-is-white gray into minimum-is-black.
void GrayAlphaToRGBA(const std::uint8_t* gray, const std::uint8_t* alpha, std::size_t step, std::uint8_t* out,
                     std::size_t pixel_count, int sample_bytes, bool invert);

// Subsampled YCbCr (8-bit samples): the data comes in units of h x v luma samples (row
// by row) followed by one Cb and one Cr sample, units side by side across the image
// and rows of units from the top; the units at the right and bottom edges are full size.
class YCbCrUnits {
 public:
  YCbCrUnits(std::uint32_t width, int h, int v);

  // Bytes of the data units that hold rows image rows.
  std::uint64_t BytesForRows(std::uint32_t rows) const;
  // Writes image row row (counted from the first row of units) as width triples
  // Y, Cb, Cr into out; units points at the first unit of the strip.
  void ExpandRow(const std::uint8_t* units, std::uint32_t row, std::uint8_t* out) const;

 private:
  std::uint32_t width_;
  std::uint32_t h_;
  std::uint32_t v_;
  std::uint64_t units_per_row_;
  std::uint64_t unit_bytes_;
};

}  // namespace qel::tiff
