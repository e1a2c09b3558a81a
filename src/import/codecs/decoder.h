// TDecoder: the calling convention of the decompression codecs. A reader picks the
// class from the image's compression, makes it with the scheme's parameters and calls
// Decode once per row, strip, tile or image.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qel {

class TDecoder {
 public:
  virtual ~TDecoder() = default;
  TDecoder() = default;
  TDecoder(const TDecoder&) = delete;
  TDecoder& operator=(const TDecoder&) = delete;

  // Decodes from source into dest. At most packed_size bytes are read from source and
  // at most unpacked_size bytes are written to dest, whatever the data says (a codec
  // whose format carries its own end marker still stops at these limits). Unless a
  // codec says otherwise it works on copies of the two pointers and leaves the
  // caller's pointers as they were; codecs that advance them document it.
  virtual void Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
                      std::size_t unpacked_size) = 0;
  // Called once after the last Decode.
  virtual void DecodeEnd() {}
  // Called once before the first Decode.
  virtual void DecodeInit() {}

  // Encoding exists in the interface; only the Targa run-length codec does real work.
  // Returns the number of bytes stored in dest.
  virtual std::size_t Encode(const std::uint8_t* source, std::uint8_t* dest, std::size_t count) {
    (void)source;
    (void)dest;
    (void)count;
    return 0;
  }
  virtual void EncodeInit() {}
  virtual void EncodeEnd() {}
};

}  // namespace qel
