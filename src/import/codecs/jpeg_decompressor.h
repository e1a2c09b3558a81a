// A libjpeg decompressor for in-memory data whose library errors become exceptions.
// Used by the TIFF JPEG decoder; it includes the library's header, so only codec
// sources include it.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <functional>
#include <string_view>

#include <jpeglib.h>

#include "imaging/errors.h"

namespace qel::codec {

using WarningHandler = std::function<void(std::string_view)>;

class JpegDecompressor {
 public:
  // Library warnings (and the end-of-input notice) go to warning, when given.
  explicit JpegDecompressor(WarningHandler warning);
  ~JpegDecompressor();
  JpegDecompressor(const JpegDecompressor&) = delete;
  JpegDecompressor& operator=(const JpegDecompressor&) = delete;

  jpeg_decompress_struct& Info() { return info_; }

  // Serves these bytes to the next reads. A read past their end, or a skip past it,
  // warns "JPEG decompression error. Unexpected end of input." (once per input) and is
  // served an end-of-image marker, so a short strip decodes as far as it goes.
  void SetInput(const std::uint8_t* data, std::size_t size);

  // Runs body, which calls the library. An error inside the library unwinds back here
  // and raises EGraphicCompression with the library's text; an exception thrown by the
  // warning handler is raised once the library has returned. body must not own objects
  // with destructors (the library's error path jumps over its frame).
  template <typename Body>
  void Guarded(Body&& body) {
    if (setjmp(errors_.jump) != 0) ThrowLibraryError();
    body();
    RethrowWarningFailure();
  }

  // Ends any decompression under way; the tables read so far stay.
  void Abort();

 private:
  struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    JpegDecompressor* owner;
  };
  struct SourceManager {
    jpeg_source_mgr pub;
    const std::uint8_t* data;
    std::size_t size;
    bool warned;
    JpegDecompressor* owner;
  };

  static void ErrorExit(j_common_ptr info);
  static void OutputMessage(j_common_ptr info);
  static void MonitorProgress(j_common_ptr info);
  static void InitSource(j_decompress_ptr info);
  static boolean FillInputBuffer(j_decompress_ptr info);
  static void SkipInputData(j_decompress_ptr info, long count);
  static void TermSource(j_decompress_ptr info);

  void Warn(std::string_view text);
  void ServeEndOfImage();
  [[noreturn]] void ThrowLibraryError();
  void RethrowWarningFailure();

  jpeg_decompress_struct info_{};
  ErrorManager errors_{};
  SourceManager source_{};
  jpeg_progress_mgr progress_{};
  bool created_ = false;
  char message_[JMSG_LENGTH_MAX] = {};
  WarningHandler warning_;
  std::exception_ptr warning_failure_;
};

}  // namespace qel::codec
