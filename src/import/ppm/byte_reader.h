// The byte and token reader of the portable maps: a 4096-byte buffer over the stream,
// decimal numbers with "#" comments between them, and runs of raw bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qel {

class TStream;

class PPMByteReader {
 public:
  static constexpr std::size_t kBufferSize = 4096;

  explicit PPMByteReader(TStream& stream) : stream_(stream) {}

  // The next byte; "Stream read error in PPM file." at the end of the data.
  std::uint8_t Next();
  // Bytes not read yet: those in the buffer and those left in the stream.
  std::uint64_t Available() const;
  // Copies count bytes; the read error when fewer are left.
  void ReadRaw(std::uint8_t* out, std::size_t count);

  struct Number {
    std::uint32_t value = 0;  // the number modulo 2^32 (its low bits are exact)
    bool overflow = false;    // it did not fit 32 bits
  };
  // Skips to the next digit ("#" starts a comment that runs to the end of its line),
  // reads the decimal digits and consumes the byte after them. The end of the data
  // right after the digits ends the number; the end of the data before any digit is
  // the read error.
  Number ReadNumber();
  // Skips as ReadNumber does and returns the lowest bit of the next single digit
  // (plain bitmaps may write their pixels without separators).
  std::uint8_t ReadBitDigit();

 private:
  // Refills an empty buffer; false when the stream has nothing left.
  bool Fill();
  bool TryNext(std::uint8_t& byte);
  // Skips separators and comments; returns the first digit met.
  std::uint8_t SkipToDigit();

  TStream& stream_;
  std::array<std::uint8_t, kBufferSize> buffer_{};
  std::size_t index_ = 0;
  std::size_t fill_ = 0;
};

}  // namespace qel
