// JPEG encoder: quality 90 (or the one chosen) with baseline quantisation tables, colour
// (YCbCr), not progressive, everything else the library's defaults.
//
// libjpeg reports errors through error_exit, which must not return. It jumps back to
// the one setjmp in Run(); between that point and the library's calls no C++
// object with a destructor is alive, so the jump skips nothing. Exceptions of the
// stream never cross the library's C frames: the destination manager keeps them and
// they are raised again once the library has returned.

// jpeglib.h needs FILE declared first.
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

#include <csetjmp>
#include <exception>
#include <vector>

#include "imaging/errors.h"
#include "imaging/stream.h"
#include "output/picture_writers.h"

namespace qel {

namespace {

constexpr std::size_t kOutputBufferSize = 64 * 1024;

struct ErrorManager {
  jpeg_error_mgr pub;  // first member: libjpeg sees only this part
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  auto* errors = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, errors->message);
  std::longjmp(errors->jump, 1);
}

// Warnings (such as a corrupt-data notice) concern decoders; the encoder ignores them.
void EmitMessage(j_common_ptr, int) {}

// Hands the compressed bytes to a TStream through a buffer of its own.
struct Destination {
  jpeg_destination_mgr pub;  // first member: libjpeg sees only this part
  TStream* stream;
  std::vector<JOCTET>* buffer;
  std::exception_ptr stream_error;

  // Writes the first count bytes of the buffer; false (the error kept) when the
  // stream refused them.
  bool Flush(std::size_t count) noexcept {
    try {
      stream->Write(buffer->data(), count);
      return true;
    } catch (...) {
      stream_error = std::current_exception();
      return false;
    }
  }
};

void InitDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
  dest->pub.next_output_byte = dest->buffer->data();
  dest->pub.free_in_buffer = dest->buffer->size();
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
  // The library asks for the whole buffer to be written, whatever free_in_buffer says.
  if (!dest->Flush(dest->buffer->size())) ERREXIT(cinfo, JERR_FILE_WRITE);
  InitDestination(cinfo);
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
  const std::size_t count = dest->buffer->size() - dest->pub.free_in_buffer;
  if (count > 0 && !dest->Flush(count)) ERREXIT(cinfo, JERR_FILE_WRITE);
}

// Owns the compressor; released on every path.
class Compressor {
 public:
  Compressor(TStream& stream, int quality) : quality_(quality), buffer_(kOutputBufferSize) {
    cinfo_.err = jpeg_std_error(&errors_.pub);
    errors_.pub.error_exit = &ErrorExit;
    errors_.pub.emit_message = &EmitMessage;
    errors_.message[0] = '\0';
    destination_.pub.init_destination = &InitDestination;
    destination_.pub.empty_output_buffer = &EmptyOutputBuffer;
    destination_.pub.term_destination = &TermDestination;
    destination_.stream = &stream;
    destination_.buffer = &buffer_;
  }
  ~Compressor() {
    if (created_) jpeg_destroy_compress(&cinfo_);
  }
  Compressor(const Compressor&) = delete;
  Compressor& operator=(const Compressor&) = delete;

  void Compress(const Picture& picture) {
    // Each row in the red, green, blue order the encoder is told to expect.
    std::vector<JSAMPLE> row(std::size_t(picture.Width()) * 3);
    if (!Run(picture, row.data())) {
      if (destination_.stream_error) std::rethrow_exception(destination_.stream_error);
      throw Error(std::string("JPEG error: ") + errors_.message);
    }
  }

 private:
  // Returns false when the library reported an error.
  bool Run(const Picture& picture, JSAMPLE* row) {
    if (setjmp(errors_.jump)) return false;
    created_ = true;  // before the call: a failure inside it leaves a struct that can be destroyed
    jpeg_create_compress(&cinfo_);
    cinfo_.dest = &destination_.pub;
    cinfo_.image_width = JDIMENSION(picture.Width());
    cinfo_.image_height = JDIMENSION(picture.Height());
    cinfo_.input_components = 3;
    cinfo_.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo_);
    jpeg_set_quality(&cinfo_, quality_, TRUE);
    jpeg_start_compress(&cinfo_, TRUE);
    const int width = picture.Width();
    while (cinfo_.next_scanline < cinfo_.image_height) {
      const std::uint8_t* bgr = picture.Row(int(cinfo_.next_scanline));
      for (int x = 0; x < width; ++x) {
        row[3 * x] = bgr[3 * x + 2];
        row[3 * x + 1] = bgr[3 * x + 1];
        row[3 * x + 2] = bgr[3 * x];
      }
      JSAMPROW rows[1] = {row};
      jpeg_write_scanlines(&cinfo_, rows, 1);
    }
    jpeg_finish_compress(&cinfo_);
    return true;
  }

  int quality_;
  jpeg_compress_struct cinfo_{};
  ErrorManager errors_{};
  Destination destination_{};
  std::vector<JOCTET> buffer_;
  bool created_ = false;
};

}  // namespace

void WriteJpeg(const Picture& picture, TStream& stream) {
  WriteJpegWith(picture, stream, WriteOptions{});
}

void WriteJpegWith(const Picture& picture, TStream& stream, const WriteOptions& options) {
  if (picture.Empty()) throw Error("Cannot save an empty picture as JPEG.");
  Compressor compressor(stream, CheckedQuality(options));
  compressor.Compress(picture);
}

}  // namespace qel
