// Owners of libwebp's decoding objects.
#pragma once

#include <webp/decode.h>
#include <webp/demux.h>

namespace qel::webp {

// A decoder configuration whose output buffer libwebp may have allocated.
class DecoderConfig {
 public:
  DecoderConfig() { ok_ = WebPInitDecoderConfig(&config_) != 0; }
  ~DecoderConfig() { WebPFreeDecBuffer(&config_.output); }
  DecoderConfig(const DecoderConfig&) = delete;
  DecoderConfig& operator=(const DecoderConfig&) = delete;

  bool Ok() const { return ok_; }
  WebPDecoderConfig* Get() { return &config_; }

 private:
  WebPDecoderConfig config_{};
  bool ok_ = false;
};

// The decoder of animated files; nullptr when libwebp refused the data.
class AnimDecoder {
 public:
  AnimDecoder(const WebPData& data, const WebPAnimDecoderOptions& options)
      : decoder_(WebPAnimDecoderNew(&data, &options)) {}
  ~AnimDecoder() { WebPAnimDecoderDelete(decoder_); }
  AnimDecoder(const AnimDecoder&) = delete;
  AnimDecoder& operator=(const AnimDecoder&) = delete;

  WebPAnimDecoder* Get() const { return decoder_; }

 private:
  WebPAnimDecoder* decoder_;
};

}  // namespace qel::webp
