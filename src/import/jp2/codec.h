// Owning handles for the OpenJPEG codec, stream and image, and the memory streams
// the JPEG 2000 graphic feeds the codec from and collects its output in. Only the
// library's own sources include this header.
#pragma once

#include <openjpeg.h>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace qel {

struct OpjCodecDeleter {
  void operator()(opj_codec_t* codec) const { opj_destroy_codec(codec); }
};
struct OpjStreamDeleter {
  void operator()(opj_stream_t* stream) const { opj_stream_destroy(stream); }
};
struct OpjImageDeleter {
  void operator()(opj_image_t* image) const { opj_image_destroy(image); }
};
using OpjCodec = std::unique_ptr<opj_codec_t, OpjCodecDeleter>;
using OpjStream = std::unique_ptr<opj_stream_t, OpjStreamDeleter>;
using OpjImage = std::unique_ptr<opj_image_t, OpjImageDeleter>;

// Installs handlers that drop the codec's info, warning and error messages: none of
// them ever reaches the user.
void SilenceCodec(opj_codec_t* codec);

// Bytes in memory read by the codec. Position() tells how far the codec has read.
class OpjMemoryInput {
 public:
  explicit OpjMemoryInput(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  OpjMemoryInput(const OpjMemoryInput&) = delete;
  OpjMemoryInput& operator=(const OpjMemoryInput&) = delete;

  // A codec stream reading from this input; the input must outlive it.
  OpjStream OpenStream();
  std::size_t Position() const { return position_; }

 private:
  static OPJ_SIZE_T Read(void* buffer, OPJ_SIZE_T count, void* self);
  static OPJ_OFF_T Skip(OPJ_OFF_T count, void* self);
  static OPJ_BOOL Seek(OPJ_OFF_T position, void* self);

  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

// A growing buffer the codec writes into.
class OpjMemoryOutput {
 public:
  OpjMemoryOutput() = default;
  OpjMemoryOutput(const OpjMemoryOutput&) = delete;
  OpjMemoryOutput& operator=(const OpjMemoryOutput&) = delete;

  // A codec stream writing into this output; the output must outlive it.
  OpjStream OpenStream();
  // The bytes written (the furthest the codec has written).
  std::span<const std::uint8_t> Bytes() const { return {bytes_.data(), length_}; }

 private:
  static OPJ_SIZE_T Write(void* buffer, OPJ_SIZE_T count, void* self);
  static OPJ_OFF_T Skip(OPJ_OFF_T count, void* self);
  static OPJ_BOOL Seek(OPJ_OFF_T position, void* self);

  std::vector<std::uint8_t> bytes_;
  std::size_t length_ = 0;
  std::size_t position_ = 0;
};

}  // namespace qel
