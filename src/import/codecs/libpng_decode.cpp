#include "import/codecs/libpng_decode.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <exception>
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
// Bytes handed to libpng at a time.
constexpr std::size_t kFeedSize = 64 * 1024;

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
  std::uint64_t data_size = 0;  // bytes from the start of the PNG to the end of the stream
  std::string error;
  std::exception_ptr failure;  // an exception a callback caught, raised again afterwards
  bool rows_started = false;   // the bitmap is made and rows are coming
  std::uint64_t rows_done = 0;
  bool ended = false;  // the image data is complete
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

// The header is read: set up the transformations and make the bitmap, white, so that
// rows the data never reaches stay white.
void OnInfo(png_structp png, png_infop info) {
  DecodeState& state = StateOf(png);
  try {
    const png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    // The rows as stored (a filter byte each) must come out of the file.
    const std::uint64_t stored_row =
        1 + (std::uint64_t(width) * png_get_channels(png, info) * png_get_bit_depth(png, info) + 7) / 8;
    CheckCodedBytes("PNG", width, height, stored_row * height, state.data_size, kDeflateBytesPerByte);
    const bool alpha = SetTransformations(png, info);
    png_read_update_info(png, info);
    TBitmap& bitmap = *state.bitmap;
    bitmap.SetPixelFormat(alpha ? TPixelFormat::pf32bit : TPixelFormat::pf24bit);
    bitmap.SetSize(int(width), int(height));
    bitmap.SetAlphaBlended(alpha);
    bitmap.SetTransparent(alpha);
    if (png_get_rowbytes(png, info) != std::size_t(width) * (alpha ? 4 : 3)) {
      state.error = FormatMessage(msg::kInvalidColorFormat, {"PNG"});
      png_longjmp(png, 1);
    }
    state.rows_started = true;
  } catch (...) {
    state.failure = std::current_exception();
    png_longjmp(png, 1);
  }
}

// A row of a pass joins those the earlier passes gave the bitmap row (libpng spreads
// the pixels of an early pass over the places of the later ones until they come).
void OnRow(png_structp png, png_bytep row, png_uint_32 row_number, int) {
  DecodeState& state = StateOf(png);
  if (!row || row_number >= png_uint_32(state.bitmap->Height())) return;
  png_progressive_combine_row(png, state.bitmap->ScanLine(int(row_number)), row);
  ++state.rows_done;
}

void OnEnd(png_structp png, png_infop) {
  StateOf(png).ended = true;
}

// Feeds the stream to libpng's progressive reader until the image ends or the data
// does. An error inside libpng comes back here through longjmp, so this frame holds no
// object with a destructor. False on an error.
bool RunDecode(png_structp png, png_infop info, DecodeState* state, png_bytep buffer, std::size_t size) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_progressive_read_fn(png, state, OnInfo, OnRow, OnEnd);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kIgnoredChunks, int(sizeof kIgnoredChunks / 5));
  png_set_user_limits(png, png_uint_32(kMaxPictureSide), png_uint_32(kMaxPictureSide));
  while (!state->ended) {
    std::size_t got = 0;
    try {
      got = state->stream->Read(buffer, size);
    } catch (...) {
    }
    if (got == 0) break;
    png_process_data(png, info, buffer, got);
  }
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
  state.data_size = stream.Remaining();
  PngReadHandle handle(state);
  std::vector<png_byte> buffer(kFeedSize);
  const bool ok = RunDecode(handle.Png(), handle.Info(), &state, buffer.data(), buffer.size());
  if (state.failure) {
    bitmap.ReleaseHandle();
    std::rethrow_exception(state.failure);
  }
  if (!ok) {
    bitmap.ReleaseHandle();
    throw EInvalidGraphic("Cannot load PNG image. " + state.error);
  }
  if (!state.ended) {
    // The data ends early: the rows decoded so far are the picture, if there are any.
    if (state.rows_done == 0) {
      bitmap.ReleaseHandle();
      throw EInvalidGraphic(FormatMessage(msg::kStreamReadError, {"PNG"}));
    }
    if (observer) observer->OnWarning(FormatMessage(msg::kImageCutShort, {"PNG"}));
  }
}

}  // namespace qel
