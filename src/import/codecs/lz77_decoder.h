// Inflate of zlib streams (TIFF deflate strips, PNG image data, Paint Shop Pro channels).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "import/codecs/decoder.h"

namespace qel {

// Calling contract: DecodeInit before the first Decode (it raises EGraphicCompression
// "LZ77 decompression error." when the stream cannot be set up) and DecodeEnd after the
// last (same text when the stream cannot be closed; the stream is also released when
// the decoder is destroyed without it).
//
// Decode runs one inflate call over packed_size bytes at source into unpacked_size
// bytes at dest, with the flush mode given at construction, and then ADVANCES BOTH
// POINTERS: source to the first byte not consumed, dest to the first byte not written.
// AvailableInput and AvailableOutput then tell what is left of each, so a caller can
// feed data in chunks (PNG) and see how much was produced. The result of inflate is
// kept (Result): once it is anything but Z_OK (0), later calls do nothing, except that
// with auto-reset every call first resets the stream and the kept result, so each call
// decodes a stream of its own (TIFF strips). Inflate never reads or writes beyond the
// sizes given; sizes above 4 GiB are used up to 4 GiB a call.
class TLZ77Decoder : public TDecoder {
 public:
  // flush_mode: the zlib flush value given to inflate (1 partial, 2 sync, 4 finish).
  TLZ77Decoder(int flush_mode, bool auto_reset);
  ~TLZ77Decoder() override;

  void DecodeInit() override;
  void Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
              std::size_t unpacked_size) override;
  void DecodeEnd() override;

  int Result() const { return result_; }
  std::size_t AvailableInput() const;
  std::size_t AvailableOutput() const;

 private:
  struct Stream;
  std::unique_ptr<Stream> stream_;
  int flush_mode_;
  bool auto_reset_;
  int result_ = 0;
};

}  // namespace qel
