// Owner of libavif's decoder.
#pragma once

#include <avif/avif.h>

namespace qel::avif {

class Decoder {
 public:
  Decoder() : decoder_(avifDecoderCreate()) {}
  ~Decoder() {
    if (decoder_) avifDecoderDestroy(decoder_);
  }
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  // nullptr when it could not be made.
  avifDecoder* Get() const { return decoder_; }

 private:
  avifDecoder* decoder_;
};

}  // namespace qel::avif
