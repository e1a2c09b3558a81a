// The image data of a PNG file: the zlib stream spread over consecutive IDAT chunks,
// inflated row by row. Chunk data is read in bounded pieces and every row is inflated
// into a buffer of exactly its size, so neither a lying chunk nor a stream that
// inflates to more than the image can make the reader allocate or write more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "import/codecs/lz77_decoder.h"
#include "import/png/chunks.h"

namespace qel {

class PngDataInflater {
 public:
  // chunks has just read the header of the first IDAT chunk.
  explicit PngDataInflater(PngChunkReader& chunks);
  ~PngDataInflater();
  PngDataInflater(const PngDataInflater&) = delete;
  PngDataInflater& operator=(const PngDataInflater&) = delete;

  // Inflates exactly out.size() bytes; false when the image data (the IDAT chunks, or
  // the file) ends before they are all there. Raises "Cannot load image. Compression
  // error found in PNG file." for data that is not a zlib stream, and "... Extra
  // compressed data found ..." when the zlib stream ends before the row does or with
  // data left in its chunk.
  bool Inflate(std::span<std::uint8_t> out);
  // The image data ended with the file, not with its last IDAT chunk.
  bool DataCut() const { return data_cut_; }
  // After the last row: the stream must give no more bytes (extra data otherwise);
  // then the rest of the IDAT chunks is read, CRCs checked. The chunk reader is left
  // holding the header of the chunk after them.
  void Finish();

 private:
  // Makes the next piece of IDAT data the decoder's input; false when the IDAT chunks
  // are used up (the reader then holds the next chunk's header).
  bool NextInput();
  // Runs one inflate call and returns the bytes written.
  std::size_t InflateSome(std::uint8_t* out, std::size_t size);
  bool InputLeft() const { return available_ > 0 || chunks_.Left() > 0; }

  PngChunkReader& chunks_;
  TLZ77Decoder decoder_;
  std::vector<std::uint8_t> piece_;
  const std::uint8_t* next_ = nullptr;
  std::size_t available_ = 0;
  bool stream_ended_ = false;
  bool chunks_ended_ = false;
  bool data_cut_ = false;
};

}  // namespace qel
