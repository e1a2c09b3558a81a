#include "import/codecs/libpng_decode.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/errors.h"
#include "imaging/graphic.h"
#include "imaging/stream.h"
#include "import/framework/bitmap.h"
#include "import/framework/coded_size.h"
#include "import/framework/messages.h"

namespace qel {

namespace {

// Ancillary chunks the decoder has no use for; libpng skips them unread instead of
// inflating compressed text or profiles.
constexpr png_byte kIgnoredChunks[] = {
    'i', 'C', 'C', 'P', '\0', 'i', 'T', 'X', 't', '\0', 's', 'P', 'L', 'T', '\0', 't', 'E', 'X', 't', '\0',
    'z', 'T', 'X', 't', '\0', 't', 'I', 'M', 'E', '\0', 'e', 'X', 'I', 'f', '\0', 'h', 'I', 'S', 'T', '\0',
};

// What libpng's callbacks work with. They run inside libpng's C frames and must not
// throw: they record what happened here and leave through png_error.
struct DecodeState {
  TStream* stream = nullptr;
  ProgressObserver* observer = nullptr;
  TBitmap* bitmap = nullptr;
  std::vector<png_bytep> rows;
  std::string error;
  bool read_failed = false;
};

DecodeState& StateOf(png_const_structrp png) {
  return *static_cast<DecodeState*>(png_get_error_ptr(png));
}

void OnError(png_structp png, png_const_charp message) {
  DecodeState& state = StateOf(png);
  try {
    if (state.error.empty()) state.error = message ? message : "";
  } catch (...) {
  }
  png_longjmp(png, 1);
}

void OnWarning(png_structp png, png_const_charp message) {
  DecodeState& state = StateOf(png);
  try {
    if (state.observer && message) state.observer->OnWarning(message);
  } catch (...) {
  }
}

void OnRead(png_structp png, png_bytep data, std::size_t length) {
  auto* state = static_cast<DecodeState*>(png_get_io_ptr(png));
  bool ok = false;
  try {
    ok = state->stream->Read(data, length) == length;
  } catch (...) {
  }
  if (!ok) {
    state->read_failed = true;
    png_error(png, "read past the end of the data");
  }
}

// Owns the read and info structures.
class PngReadHandle {
 public:
  explicit PngReadHandle(DecodeState& state) {
    png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, OnError, OnWarning);
    if (png_) info_ = png_create_info_struct(png_);
    if (!png_ || !info_) {
      png_destroy_read_struct(&png_, &info_, nullptr);
      throw EOutOfResources("Out of memory: the PNG decoder cannot be made.");
    }
  }
  ~PngReadHandle() { png_destroy_read_struct(&png_, &info_, nullptr); }
  PngReadHandle(const PngReadHandle&) = delete;
  PngReadHandle& operator=(const PngReadHandle&) = delete;

  png_structp Png() const { return png_; }
  png_infop Info() const { return info_; }

 private:
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
};

// Sets up the transformations to 8-bit blue-green-red(-alpha) and reports whether
// the rows will carry alpha.
bool SetTransformations(png_structp png, png_infop info) {
  const int color_type = png_get_color_type(png, info);
  const int bit_depth = png_get_bit_depth(png, info);
  bool alpha = (color_type & PNG_COLOR_MASK_ALPHA) != 0;
  if (color_type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (color_type == PNG_COLOR_TYPE_GRAY && bit_depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) {
    png_set_tRNS_to_alpha(png);
    alpha = true;
  }
  if (bit_depth == 16) png_set_strip_16(png);
  if (!(color_type & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);
  png_set_bgr(png);
  png_set_interlace_handling(png);
  return alpha;
}

// Every libpng call of one decode. An error inside libpng comes back here through
// longjmp, so this frame holds no object with a destructor; C++ exceptions thrown by
// the bitmap pass through it normally.
bool RunDecode(png_structp png, png_infop info, DecodeState* state) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_read_fn(png, state, OnRead);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kIgnoredChunks, int(sizeof kIgnoredChunks / 5));
  png_set_user_limits(png, png_uint_32(kMaxPictureSide), png_uint_32(kMaxPictureSide));
  png_read_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
  // The rows as stored (a filter byte each) must come out of what is left of the file.
  const std::uint64_t stored_row =
      1 + (std::uint64_t(width) * png_get_channels(png, info) * png_get_bit_depth(png, info) + 7) / 8;
  CheckCodedBytes("PNG", width, height, stored_row * height, state->stream->Remaining(),
                  kDeflateBytesPerByte);
  const bool alpha = SetTransformations(png, info);
  png_read_update_info(png, info);
  TBitmap& bitmap = *state->bitmap;
  bitmap.SetPixelFormat(alpha ? TPixelFormat::pf32bit : TPixelFormat::pf24bit);
  bitmap.SetSize(int(width), int(height));
  if (png_get_rowbytes(png, info) != std::size_t(width) * (alpha ? 4 : 3)) {
    state->error = FormatMessage(msg::kInvalidColorFormat, {"PNG"});
    return false;
  }
  state->rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) state->rows[y] = bitmap.ScanLine(int(y));
  png_read_image(png, state->rows.data());
  bitmap.SetAlphaBlended(alpha);
  bitmap.SetTransparent(alpha);
  return true;
}

}  // namespace

void DecodePng(TStream& stream, TBitmap& bitmap, ProgressObserver* observer) {
  bitmap.ReleaseHandle();
  png_byte signature[8] = {};
  const std::uint64_t start = stream.Position();
  if (stream.Read(signature, 8) != 8 || png_sig_cmp(signature, 0, 8) != 0) {
    throw EInvalidGraphic(FormatMessage(msg::kInvalidImage, {"PNG"}));
  }
  stream.SetPosition(start);
  DecodeState state;
  state.stream = &stream;
  state.observer = observer;
  state.bitmap = &bitmap;
  PngReadHandle handle(state);
  bool ok = false;
  try {
    ok = RunDecode(handle.Png(), handle.Info(), &state);
  } catch (...) {
    bitmap.ReleaseHandle();
    throw;
  }
  if (!ok) {
    bitmap.ReleaseHandle();
    if (state.read_failed) throw EInvalidGraphic(FormatMessage(msg::kStreamReadError, {"PNG"}));
    throw EInvalidGraphic("Cannot load PNG image. " + state.error);
  }
}

}  // namespace qel
