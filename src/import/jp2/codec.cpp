#include "import/jp2/codec.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace qel {

namespace {

void Quiet(const char*, void*) {}

constexpr OPJ_SIZE_T kStreamChunk = OPJ_J2K_STREAM_CHUNK_SIZE;
constexpr OPJ_SIZE_T kFailed = OPJ_SIZE_T(-1);

}  // namespace

void SilenceCodec(opj_codec_t* codec) {
  opj_set_info_handler(codec, &Quiet, nullptr);
  opj_set_warning_handler(codec, &Quiet, nullptr);
  opj_set_error_handler(codec, &Quiet, nullptr);
}

OpjStream OpjMemoryInput::OpenStream() {
  OpjStream stream(opj_stream_create(kStreamChunk, OPJ_TRUE));
  if (!stream) return stream;
  opj_stream_set_user_data(stream.get(), this, nullptr);
  opj_stream_set_user_data_length(stream.get(), bytes_.size());
  opj_stream_set_read_function(stream.get(), &OpjMemoryInput::Read);
  opj_stream_set_skip_function(stream.get(), &OpjMemoryInput::Skip);
  opj_stream_set_seek_function(stream.get(), &OpjMemoryInput::Seek);
  return stream;
}

OPJ_SIZE_T OpjMemoryInput::Read(void* buffer, OPJ_SIZE_T count, void* self) {
  auto* in = static_cast<OpjMemoryInput*>(self);
  const std::size_t left = in->bytes_.size() - in->position_;
  if (left == 0) return kFailed;  // the codec's way of saying "end of stream"
  const std::size_t n = std::min<std::size_t>(count, left);
  std::memcpy(buffer, in->bytes_.data() + in->position_, n);
  in->position_ += n;
  return n;
}

OPJ_OFF_T OpjMemoryInput::Skip(OPJ_OFF_T count, void* self) {
  auto* in = static_cast<OpjMemoryInput*>(self);
  if (count >= 0) {
    const std::size_t left = in->bytes_.size() - in->position_;
    if (left == 0 && count > 0) return -1;
    const std::size_t n = std::min<std::uint64_t>(std::uint64_t(count), left);
    in->position_ += n;
    return OPJ_OFF_T(n);
  }
  const std::size_t back = std::min<std::uint64_t>(std::uint64_t(-count), in->position_);
  in->position_ -= back;
  return -OPJ_OFF_T(back);
}

OPJ_BOOL OpjMemoryInput::Seek(OPJ_OFF_T position, void* self) {
  auto* in = static_cast<OpjMemoryInput*>(self);
  if (position < 0 || std::uint64_t(position) > in->bytes_.size()) return OPJ_FALSE;
  in->position_ = std::size_t(position);
  return OPJ_TRUE;
}

OpjStream OpjMemoryOutput::OpenStream() {
  OpjStream stream(opj_stream_create(kStreamChunk, OPJ_FALSE));
  if (!stream) return stream;
  opj_stream_set_user_data(stream.get(), this, nullptr);
  opj_stream_set_write_function(stream.get(), &OpjMemoryOutput::Write);
  opj_stream_set_skip_function(stream.get(), &OpjMemoryOutput::Skip);
  opj_stream_set_seek_function(stream.get(), &OpjMemoryOutput::Seek);
  return stream;
}

OPJ_SIZE_T OpjMemoryOutput::Write(void* buffer, OPJ_SIZE_T count, void* self) {
  auto* out = static_cast<OpjMemoryOutput*>(self);
  // Called from inside the codec: no exception may leave this function.
  try {
    const std::size_t end = out->position_ + count;
    if (end > out->bytes_.size()) out->bytes_.resize(std::max(end, out->bytes_.size() * 2));
    std::memcpy(out->bytes_.data() + out->position_, buffer, count);
    out->position_ = end;
    out->length_ = std::max(out->length_, end);
    return count;
  } catch (const std::bad_alloc&) {
    return kFailed;
  } catch (const std::length_error&) {
    return kFailed;
  }
}

OPJ_OFF_T OpjMemoryOutput::Skip(OPJ_OFF_T count, void* self) {
  auto* out = static_cast<OpjMemoryOutput*>(self);
  if (count < 0 && std::uint64_t(-count) > out->position_) return -1;
  out->position_ = std::size_t(OPJ_OFF_T(out->position_) + count);
  return count;
}

OPJ_BOOL OpjMemoryOutput::Seek(OPJ_OFF_T position, void* self) {
  auto* out = static_cast<OpjMemoryOutput*>(self);
  if (position < 0) return OPJ_FALSE;
  out->position_ = std::size_t(position);
  return OPJ_TRUE;
}

}  // namespace qel
