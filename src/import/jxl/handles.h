// Owner of libjxl's decoder.
#pragma once

#include "import/jxl/library.h"

namespace qel::jxl {

class Decoder {
 public:
  explicit Decoder(const Library& library) : library_(library), decoder_(library.JxlDecoderCreate(nullptr)) {}
  ~Decoder() {
    if (decoder_) library_.JxlDecoderDestroy(decoder_);
  }
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  // nullptr when it could not be made.
  JxlDecoder* Get() const { return decoder_; }

 private:
  const Library& library_;
  JxlDecoder* decoder_;
};

}  // namespace qel::jxl
