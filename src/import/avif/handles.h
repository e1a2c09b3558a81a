// Owner of libavif's decoder.
#pragma once

#include "import/avif/library.h"

namespace qel::avif {

class Decoder {
 public:
  explicit Decoder(const Library& library) : library_(library), decoder_(library.avifDecoderCreate()) {}
  ~Decoder() {
    if (decoder_) library_.avifDecoderDestroy(decoder_);
  }
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  // nullptr when it could not be made.
  avifDecoder* Get() const { return decoder_; }

 private:
  const Library& library_;
  avifDecoder* decoder_;
};

}  // namespace qel::avif
