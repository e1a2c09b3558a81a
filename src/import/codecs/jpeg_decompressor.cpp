#include "import/codecs/jpeg_decompressor.h"

#include <cstring>

#include "import/framework/messages.h"

namespace qel::codec {

namespace {

constexpr JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};
// Enough for any picture we are prepared to show; a stream that needs more (a huge
// progressive image) fails instead of exhausting memory.
constexpr long kMemoryLimit = 1L << 30;
// Progressive streams may hold any number of scans, each a pass over the whole image.
constexpr int kMaxScans = 1000;
constexpr const char* kTooManyScans = "JPEG decompression error. Too many scans.";

}  // namespace

JpegDecompressor::JpegDecompressor(WarningHandler warning) : warning_(std::move(warning)) {
  info_.err = jpeg_std_error(&errors_.pub);
  errors_.pub.error_exit = ErrorExit;
  errors_.pub.output_message = OutputMessage;
  errors_.owner = this;
  Guarded([this] { jpeg_create_decompress(&info_); });
  created_ = true;
  info_.mem->max_memory_to_use = kMemoryLimit;
  progress_.progress_monitor = MonitorProgress;
  info_.progress = &progress_;

  source_.pub.init_source = InitSource;
  source_.pub.fill_input_buffer = FillInputBuffer;
  source_.pub.skip_input_data = SkipInputData;
  source_.pub.resync_to_restart = jpeg_resync_to_restart;
  source_.pub.term_source = TermSource;
  source_.owner = this;
  info_.src = &source_.pub;
  SetInput(nullptr, 0);
}

JpegDecompressor::~JpegDecompressor() {
  if (created_) jpeg_destroy_decompress(&info_);
}

void JpegDecompressor::SetInput(const std::uint8_t* data, std::size_t size) {
  source_.data = data;
  source_.size = size;
  source_.warned = false;
  source_.pub.next_input_byte = data;
  source_.pub.bytes_in_buffer = size;
}

void JpegDecompressor::Abort() {
  if (created_) jpeg_abort_decompress(&info_);
}

void JpegDecompressor::Warn(std::string_view text) {
  if (!warning_ || warning_failure_) return;
  try {
    warning_(text);
  } catch (...) {
    // The library cannot pass exceptions on; raise it once the library has returned.
    warning_failure_ = std::current_exception();
  }
}

void JpegDecompressor::ServeEndOfImage() {
  if (!source_.warned) {
    source_.warned = true;
    Warn(msg::kJPEGEndOfInput);
  }
  source_.pub.next_input_byte = kEndOfImage;
  source_.pub.bytes_in_buffer = sizeof kEndOfImage;
}

void JpegDecompressor::ThrowLibraryError() {
  warning_failure_ = nullptr;
  throw EGraphicCompression(message_);
}

void JpegDecompressor::RethrowWarningFailure() {
  if (warning_failure_) {
    std::exception_ptr failure = warning_failure_;
    warning_failure_ = nullptr;
    std::rethrow_exception(failure);
  }
}

void JpegDecompressor::ErrorExit(j_common_ptr info) {
  auto* errors = reinterpret_cast<ErrorManager*>(info->err);
  (*info->err->format_message)(info, errors->owner->message_);
  std::longjmp(errors->jump, 1);
}

void JpegDecompressor::OutputMessage(j_common_ptr info) {
  auto* errors = reinterpret_cast<ErrorManager*>(info->err);
  char text[JMSG_LENGTH_MAX];
  (*info->err->format_message)(info, text);
  errors->owner->Warn(text);
}

void JpegDecompressor::MonitorProgress(j_common_ptr info) {
  if (!info->is_decompressor) return;
  if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number <= kMaxScans) return;
  auto* errors = reinterpret_cast<ErrorManager*>(info->err);
  std::strncpy(errors->owner->message_, kTooManyScans, JMSG_LENGTH_MAX - 1);
  std::longjmp(errors->jump, 1);
}

void JpegDecompressor::InitSource(j_decompress_ptr) {}

boolean JpegDecompressor::FillInputBuffer(j_decompress_ptr info) {
  reinterpret_cast<SourceManager*>(info->src)->owner->ServeEndOfImage();
  return TRUE;
}

void JpegDecompressor::SkipInputData(j_decompress_ptr info, long count) {
  auto* source = reinterpret_cast<SourceManager*>(info->src);
  if (count <= 0) return;
  if (static_cast<unsigned long>(count) > source->pub.bytes_in_buffer) {
    source->owner->ServeEndOfImage();
    return;
  }
  source->pub.next_input_byte += count;
  source->pub.bytes_in_buffer -= static_cast<std::size_t>(count);
}

void JpegDecompressor::TermSource(j_decompress_ptr) {}

}  // namespace qel::codec
