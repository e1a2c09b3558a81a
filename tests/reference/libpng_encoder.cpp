// The reference the PNG writer is held to: the same rows made into a file by libpng in
// one zlib stream. The tests compare pixels, filters and sizes with it; the benchmarks
// time against it.
#include "reference/libpng_encoder.h"

#include <png.h>

#include <csetjmp>
#include <cstddef>
#include <exception>
#include <string>

#include "imaging/errors.h"
#include "imaging/stream.h"

namespace qel::png {

namespace {

// zlib's level 8, and one buffer of compressed data in each IDAT chunk as the writer
// does.
constexpr int kCompressionLevel = 8;
constexpr std::size_t kIdatChunkLimit = 65535;

}  // namespace

// libpng reports errors by jumping back to the setjmp in Run(); between that point and
// the library's calls no C++ object with a destructor is alive. Exceptions of the
// stream never cross the library's C frames: the write callback keeps them and they
// are raised again once the library has returned.

namespace {

struct WriteContext {
  TStream* stream = nullptr;
  std::exception_ptr stream_error;
  std::string message;
};

void ErrorCallback(png_structp png, png_const_charp text) {
  auto* context = static_cast<WriteContext*>(png_get_error_ptr(png));
  // No exception may leave this function; a failed assignment keeps an empty text.
  try {
    context->message = text ? text : "";
  } catch (...) {
  }
  png_longjmp(png, 1);
}

void WarningCallback(png_structp, png_const_charp) {}

void WriteCallback(png_structp png, png_bytep data, png_size_t length) {
  auto* context = static_cast<WriteContext*>(png_get_io_ptr(png));
  bool written = false;
  try {
    context->stream->Write(data, length);
    written = true;
  } catch (...) {
    context->stream_error = std::current_exception();
  }
  if (!written) png_error(png, "Write error");
}

void FlushCallback(png_structp) {}

// Owns the write and info structures; released on every path.
class PngEncoder {
 public:
  explicit PngEncoder(TStream& stream) {
    context_.stream = &stream;
    png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, &context_, &ErrorCallback, &WarningCallback);
    if (!png_) throw EOutOfResources("Out of memory while saving a PNG image.");
    info_ = png_create_info_struct(png_);
    if (!info_) {
      png_destroy_write_struct(&png_, nullptr);
      throw EOutOfResources("Out of memory while saving a PNG image.");
    }
  }
  ~PngEncoder() { png_destroy_write_struct(&png_, &info_); }
  PngEncoder(const PngEncoder&) = delete;
  PngEncoder& operator=(const PngEncoder&) = delete;

  void Encode(const Picture& picture) {
    if (!Run(picture)) {
      if (context_.stream_error) std::rethrow_exception(context_.stream_error);
      throw Error("PNG error: " + context_.message);
    }
  }

 private:
  // Returns false when the library reported an error.
  bool Run(const Picture& picture) {
    if (setjmp(png_jmpbuf(png_))) return false;
    png_set_write_fn(png_, &context_, &WriteCallback, &FlushCallback);
    // The picture's own size limits apply, not the library's default ones for readers.
    png_set_user_limits(png_, 0x7FFFFFFF, 0x7FFFFFFF);
    png_set_IHDR(png_, info_, png_uint_32(picture.Width()), png_uint_32(picture.Height()), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (picture.Transparent()) {
      const TColor color = picture.TransparentColor();
      png_color_16 transparent{};
      transparent.red = RedOf(color);
      transparent.green = GreenOf(color);
      transparent.blue = BlueOf(color);
      png_set_tRNS(png_, info_, nullptr, 0, &transparent);
    }
    png_set_compression_level(png_, kCompressionLevel);
    png_set_filter(png_, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB | PNG_FILTER_UP);
    png_set_compression_buffer_size(png_, kIdatChunkLimit);
    png_write_info(png_, info_);
    // The picture stores blue, green, red; the library swaps each row into red, green,
    // blue on its own copy of the row, so the picture's rows are passed as they are.
    png_set_bgr(png_);
    for (int y = 0; y < picture.Height(); ++y) {
      png_write_row(png_, const_cast<png_bytep>(picture.Row(y)));
    }
    png_write_end(png_, nullptr);
    return true;
  }

  WriteContext context_;
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
};

}  // namespace

void WritePngWithLibpng(const Picture& picture, TStream& stream) {
  if (picture.Empty()) throw Error("Cannot save an empty picture as PNG.");
  PngEncoder encoder(stream);
  encoder.Encode(picture);
}

}  // namespace qel::png
