// The image data of a Photoshop file: one plane per channel, one after the other,
// stored or PackBits-compressed row by row. Only the planes a picture is made of are
// read; they are handed out one row of one plane at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qel {

class TStream;

class PsdChannelData {
 public:
  // Reads the first `planes` planes of stored data from the stream's position.
  // Raises EReadError when the stream is shorter than they are.
  static PsdChannelData ReadStored(TStream& stream, std::uint32_t planes, std::uint32_t rows,
                                   std::size_t row_bytes);
  // Reads the row-length table of all `channels` channels and the compressed rows of
  // the first `planes` from the stream's position. Raises EReadError when the stream
  // is shorter than the table says, and EInvalidGraphic with the invalid-format text
  // (format name short_name) when a row is too short to hold row_bytes bytes.
  static PsdChannelData ReadPackBits(TStream& stream, std::uint32_t channels, std::uint32_t planes,
                                     std::uint32_t rows, std::size_t row_bytes, const char* short_name);

  // Writes row y of plane `plane` into out (row_bytes bytes). Bytes a damaged
  // compressed row does not produce are 0.
  void Row(std::uint32_t plane, std::uint32_t y, std::uint8_t* out) const;

 private:
  PsdChannelData() = default;

  bool packed_ = false;
  std::uint32_t rows_ = 0;
  std::size_t row_bytes_ = 0;
  std::vector<std::uint8_t> bytes_;
  // PackBits only: where each compressed row starts in bytes_ (plane-major), with one
  // more entry for the end.
  std::vector<std::size_t> row_starts_;
};

}  // namespace qel
