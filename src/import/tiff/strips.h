// Strip and tile data of a TIFF image: the decoder for its compression and the reading
// of one strip or tile at a time into a buffer of a known size. Every strip is checked against the
// file before it is read, and no decoder writes past the buffer.
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

class TStream;

namespace tiff {

using WarningHandler = std::function<void(std::string_view)>;

// The TIFF compression tag value as the library's compression type.
CompressionType CompressionFromTag(std::uint32_t value);

// True when raw strip bytes of fill order 2 are bit-reversed before decoding. The JPEG
// data of TIFF is always stored as is; the fax decoders reverse bits themselves.
bool ReversesStripBits(CompressionType compression);

// The decoder for the image's compression; nullptr for uncompressed data. row_pixels is
// the width of the rows one call decodes: the image's for strips, the tile's for tiles.
// The fax decoders get the T.4 options, row_pixels and the fill order; the JPEG decoder
// keeps a reference to properties, so the caller keeps CurrentRow and CurrentStrip up to
// date. Raises "Cannot load image. The compression scheme is not supported for TIF/TIFF
// files." for any other compression.
std::unique_ptr<TDecoder> MakeStripDecoder(const TImageProperties& properties, std::uint32_t row_pixels,
                                           std::uint32_t t4_options, WarningHandler warning);

// Reverses the bit order of every byte (fill order 2 to fill order 1).
void ReverseBits(std::uint8_t* bytes, std::size_t count);

// Where the strips lie, as the directory gives them. byte_counts may be shorter than
// offsets (or empty) when the file leaves them out.
struct StripTable {
  std::vector<std::uint32_t> offsets;
  std::vector<std::uint32_t> byte_counts;
};

class TStripReader {
 public:
  // base: the stream position of the TIFF header, from which offsets count. decoder:
  // nullptr for uncompressed data (it is not owned).
  TStripReader(TStream& stream, std::uint64_t base, StripTable table, TDecoder* decoder, bool reverse_bits);

  std::size_t Count() const { return table_.offsets.size(); }

  // Makes out unpacked_size bytes long and fills it with strip index, zeros where the
  // strip's data ends early. Uncompressed strips must hold unpacked_size bytes inside
  // the file; compressed strips must lie inside the file (a strip without a byte count
  // runs to the end of the file). Otherwise raises "Stream read error in TIF/TIFF file.".
  void Read(std::size_t index, std::size_t unpacked_size, std::vector<std::uint8_t>& out);

 private:
  TStream& stream_;
  std::uint64_t base_;
  StripTable table_;
  TDecoder* decoder_;
  bool reverse_bits_;
  std::vector<std::uint8_t> packed_;
};

}  // namespace tiff
}  // namespace qel
