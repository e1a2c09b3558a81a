// Photo-CD Huffman decoding of the residuals of the large resolutions.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "import/codecs/decoder.h"

namespace qel {

class TStream;

// The data, read from the stream at its current position: one Huffman table (three
// when rows are longer than 1536 pixels) of { count byte (entries = count + 1); per
// entry a length byte (code length = byte + 1, at most 16), a 16-bit code and a signed
// delta byte }, then rows, each introduced by a synchronisation pattern (23 one bits
// and a 0) and a header naming the row and its plane (0 luma, 2 and 3 the chroma
// planes). Every following code adds its delta to one pixel, clamped to 0..255, so the
// residuals are added to the upsampled lower-resolution image already in the planes.
//
// Calling contract: DecodePlanes is the decoding entry. The planes are row_length bytes
// a row; luma row r starts at r x row_length, chroma rows at (r / 2) x row_length and
// hold row_length / 2 residuals. Decoding ends at the row header naming stop_row, at the
// end of the stream, or at once (nothing changed) on a table entry longer than 16 bits.
// Codes that match no entry, and rows or pixels that fall outside their plane, are
// skipped by searching for the next synchronisation pattern. With one table, all three
// planes use it. The stream is read in 2048-byte blocks with non-raising reads; where it
// ends is the end of the data. Decode is the generic form: dest holds the three planes
// one after the other (each unpacked_size / 3 bytes), packed_size is the stop row, the
// row length is the one given at construction, and source is not used.
class TPCDDecoder : public TDecoder {
 public:
  TPCDDecoder(TStream& stream, std::uint32_t row_length) : stream_(stream), row_length_(row_length) {}

  void Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
              std::size_t unpacked_size) override;

  void DecodePlanes(std::span<std::uint8_t> luma, std::span<std::uint8_t> chroma1,
                    std::span<std::uint8_t> chroma2, std::uint32_t stop_row, std::uint32_t row_length);

 private:
  TStream& stream_;
  std::uint32_t row_length_;
};

}  // namespace qel
