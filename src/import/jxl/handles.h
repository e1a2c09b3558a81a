// Owner of libjxl's decoder.
#pragma once

#include <jxl/decode.h>

namespace qel::jxl {

class Decoder {
 public:
  Decoder() : decoder_(JxlDecoderCreate(nullptr)) {}
  ~Decoder() {
    if (decoder_) JxlDecoderDestroy(decoder_);
  }
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  // nullptr when it could not be made.
  JxlDecoder* Get() const { return decoder_; }

 private:
  JxlDecoder* decoder_;
};

}  // namespace qel::jxl
