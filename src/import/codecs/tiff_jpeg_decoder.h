// JPEG compression inside TIFF strips (and tiles), over libjpeg.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "import/codecs/decoder.h"
#include "import/framework/image_properties.h"

namespace qel {

namespace codec {
class JpegDecompressor;
}

// Calling contract: the decoder keeps a reference to the image's properties and reads
// them at every call, so the reader keeps CurrentRow and CurrentStrip up to date.
//
// DecodeInit makes the decompressor and, when the properties hold JPEGTables, reads the
// tables from them ("Bogus JPEG tables field." when they are anything but a tables-only
// stream). DecodeEnd releases the decompressor (so does the destructor); Decode calls
// DecodeInit itself when it was not called.
//
// Decode takes one strip: packed_size compressed bytes at source, unpacked_size bytes
// at dest, which must be a whole number of lines of BytesPerLine bytes ("Fractional JPEG
// scanline unsupported."). The strip's header must agree with the image: width = Width;
// height = the rows of strip CurrentStrip (the last RowsPerStrip entry serving the
// strips beyond the table, Height when the table is empty), at most Height - CurrentRow;
// for separate planes (PlanarConfig 2) of a YCbCr image the chroma planes' sizes are
// divided, rounding up, by the subsampling (the plane of a strip being CurrentStrip /
// (StripCount / SamplesPerPixel)). Tiled images (the tiled flag) are checked against
// TileWidth x TileLength and use lines of the decoded width. The component count must be
// SamplesPerPixel (1 for separate planes), the precision BitsPerSample, and the sampling
// factors those of YCbCrSubSampling for the first component of interleaved YCbCr data
// (1 x 1 for every other image and component). Each failed check raises its
// EGraphicCompression text; library errors raise EGraphicCompression with the library's
// text.
//
// Output: three-component YCbCr and RGB images come out as blue, green, red bytes;
// every other layout (gray, CMYK, separate planes, ...) comes out as stored, one byte per
// component. A strip that ends early is decoded as far as it goes after the warning
// "JPEG decompression error. Unexpected end of input."; library warnings also go to the
// warning handler. At most unpacked_size / BytesPerLine lines are written. Neither
// pointer is advanced.
class TTIFFJPEGDecoder : public TDecoder {
 public:
  using WarningHandler = std::function<void(std::string_view)>;

  explicit TTIFFJPEGDecoder(const TImageProperties& properties, WarningHandler warning = {});
  ~TTIFFJPEGDecoder() override;

  void DecodeInit() override;
  void Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
              std::size_t unpacked_size) override;
  void DecodeEnd() override;

 private:
  struct Expected {
    std::uint32_t width, height;
    int components;
  };
  Expected ExpectedStrip() const;
  void CheckHeader() const;
  void DecodeLines(std::uint8_t* dest, std::size_t unpacked_size);

  const TImageProperties& properties_;
  WarningHandler warning_;
  std::unique_ptr<codec::JpegDecompressor> jpeg_;
  unsigned h_sampling_ = 1;
  unsigned v_sampling_ = 1;
  std::vector<std::uint8_t> row_;
};

}  // namespace qel
