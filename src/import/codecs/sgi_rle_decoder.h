// SGI image run-length decoding, 8-bit and 16-bit samples.
#pragma once

#include "import/codecs/decoder.h"

namespace qel {

// Each run starts with a control value (a byte for 8-bit samples, a big-endian 16-bit
// word for 16-bit samples): its low 7 bits are the count, and a count of 0 ends the row.
// With bit 7 set the next count samples are copied, otherwise the next sample is
// repeated count times. 16-bit samples keep their file (big-endian) byte order.
//
// Calling contract: one row of one channel per call. packed_size is the row's compressed
// length in bytes (its entry in the length table), unpacked_size the row's size in bytes
// (width x 1 or width x 2). Decoding ends at the zero count, at the end of the input or
// when the output is complete, whichever comes first; runs are cut at the end of the
// output and literals at the end of the input (a 16-bit literal copies whole samples
// only). Neither pointer is advanced.
class TSGIRLEDecoder : public TDecoder {
 public:
  // sample_size: bits per sample, 8 or 16 (anything else is taken as 8).
  explicit TSGIRLEDecoder(unsigned sample_size) : sample_bytes_(sample_size == 16 ? 2 : 1) {}

  void Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
              std::size_t unpacked_size) override;

  unsigned SampleBytes() const { return sample_bytes_; }

 private:
  void Decode8(const std::uint8_t* source, std::uint8_t* dest, std::size_t packed_size,
               std::size_t unpacked_size) const;
  void Decode16(const std::uint8_t* source, std::uint8_t* dest, std::size_t packed_size,
                std::size_t unpacked_size) const;

  unsigned sample_bytes_;
};

}  // namespace qel
