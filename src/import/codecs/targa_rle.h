// The run-length codec of Targa files. A packet starts with a header byte h carrying
// count = (h and 0x7F) + 1 pixels: with bit 7 set one pixel value follows and is
// repeated count times, otherwise count pixel values follow.
#pragma once

#include <cstddef>
#include <cstdint>

#include "import/codecs/decoder.h"

namespace qel {

// Bytes a pixel of the given depth in bits takes in a Targa file (8, 15, 16, 24, 32);
// 0 for any other depth.
int TargaPixelBytes(int depth);

class TTargaRLEDecoder : public TDecoder {
 public:
  // depth: the file's pixel depth in bits (8, 15, 16, 24 or 32); any other depth
  // raises EGraphicCompression.
  explicit TTargaRLEDecoder(int depth);

  int ColorDepth() const { return depth_; }
  int BytesPerPixel() const { return bytes_per_pixel_; }

  // Expands packets from source into dest. unpacked_size is the room at dest in bytes;
  // only whole pixels are written. The pixels form one stream: a packet that reaches
  // past the room is carried into the next call, which goes on with it first (a run's
  // pixel is kept; a literal's remaining pixels are left at source). Never reads more
  // than packed_size bytes; a packet cut off by the end of the data yields the whole
  // pixels that are there and is not carried. Both pointers are advanced: source to
  // just after the last byte used, dest past the last byte written.
  void Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
              std::size_t unpacked_size) override;
  // Forgets a packet carried over from the last Decode.
  void DecodeInit() override { carried_ = 0; }

  // Packs count pixels of source into dest and returns the number of bytes stored.
  // dest must hold MaxEncodedSize(count) bytes.
  std::size_t Encode(const std::uint8_t* source, std::uint8_t* dest, std::size_t count) override;

  // The most bytes Encode can store for count pixels (never more than twice the raw size).
  std::size_t MaxEncodedSize(std::size_t count) const {
    return count * std::size_t(bytes_per_pixel_) + (count + 127) / 128;
  }

  // The largest packet in bytes: a header and 128 pixels.
  std::size_t MaxPacketSize() const { return 1 + 128 * std::size_t(bytes_per_pixel_); }

 private:
  int depth_;
  int bytes_per_pixel_;
  // The packet the last Decode left unfinished: pixels still to come, and for a run
  // the pixel value repeated.
  std::size_t carried_ = 0;
  bool carried_run_ = false;
  std::uint8_t run_pixel_[4] = {};
};

}  // namespace qel
