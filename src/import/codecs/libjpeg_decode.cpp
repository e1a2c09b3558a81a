#include "import/codecs/libjpeg_decode.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <cstddef>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/errors.h"
#include "imaging/graphic.h"
#include "imaging/stream.h"
#include "import/framework/bitmap.h"
#include "import/framework/coded_size.h"

namespace qel {

namespace {

// Progressive files with more scans than this are refused: real files have a dozen,
// and a file of many tiny scans could keep the decoder busy almost for ever.
constexpr int kMaxScans = 1000;
constexpr std::size_t kInputChunk = 64 * 1024;

// Everything libjpeg's callbacks reach. They run inside libjpeg's C frames and never
// throw: errors leave through longjmp to the one frame that calls libjpeg.
struct DecodeState {
  jpeg_error_mgr errors{};
  jpeg_source_mgr source{};
  jpeg_progress_mgr progress{};
  std::jmp_buf jump{};
  char message[JMSG_LENGTH_MAX] = {};
  TStream* stream = nullptr;
  ProgressObserver* observer = nullptr;
  TBitmap* bitmap = nullptr;
  std::vector<std::uint8_t>* exif = nullptr;
  std::vector<JOCTET> input;
  std::vector<JSAMPLE> cmyk_row;
  long warnings = 0;
};

DecodeState& StateOf(j_common_ptr cinfo) {
  return *static_cast<DecodeState*>(cinfo->client_data);
}

[[noreturn]] void OnErrorExit(j_common_ptr cinfo) {
  DecodeState& state = StateOf(cinfo);
  cinfo->err->format_message(cinfo, state.message);
  std::longjmp(state.jump, 1);
}

// Warnings (level -1) reach the observer, the first one only; trace messages are dropped.
void OnEmitMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;
  DecodeState& state = StateOf(cinfo);
  if (state.warnings++ > 0 || !state.observer) return;
  char text[JMSG_LENGTH_MAX];
  cinfo->err->format_message(cinfo, text);
  try {
    state.observer->OnWarning(text);
  } catch (...) {
  }
}

void OnOutputMessage(j_common_ptr) {}

void OnProgress(j_common_ptr cinfo) {
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > kMaxScans) {
    DecodeState& state = StateOf(cinfo);
    std::snprintf(state.message, sizeof state.message,
                  "Cannot load image. The JPEG file has more than %d scans.", kMaxScans);
    std::longjmp(state.jump, 1);
  }
}

void OnInitSource(j_decompress_ptr) {}
void OnTermSource(j_decompress_ptr) {}

// Refills the input buffer from the stream. At the end of the data a fake end-of-image
// marker is inserted with libjpeg's "Premature end of JPEG file" warning, which is
// what libjpeg does for a truncated file.
boolean OnFillInput(j_decompress_ptr cinfo) {
  DecodeState& state = StateOf(reinterpret_cast<j_common_ptr>(cinfo));
  std::size_t got = 0;
  try {
    got = state.stream->Read(state.input.data(), state.input.size());
  } catch (...) {
    got = 0;
  }
  if (got == 0) {
    WARNMS(cinfo, JWRN_JPEG_EOF);
    state.input[0] = JOCTET(0xFF);
    state.input[1] = JOCTET(JPEG_EOI);
    got = 2;
  }
  cinfo->src->next_input_byte = state.input.data();
  cinfo->src->bytes_in_buffer = got;
  return TRUE;
}

void OnSkipInput(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* src = cinfo->src;
  if (std::size_t(count) <= src->bytes_in_buffer) {
    src->next_input_byte += count;
    src->bytes_in_buffer -= std::size_t(count);
    return;
  }
  DecodeState& state = StateOf(reinterpret_cast<j_common_ptr>(cinfo));
  const long rest = count - long(src->bytes_in_buffer);
  src->bytes_in_buffer = 0;
  // Skipping past the end leaves the stream there; the next fill reports the end.
  try {
    state.stream->Skip(rest);
  } catch (...) {
  }
}

// Owns the decompressor; the state it points into outlives it.
class JpegDecompressor {
 public:
  explicit JpegDecompressor(DecodeState& state) {
    cinfo_.err = jpeg_std_error(&state.errors);
    state.errors.error_exit = OnErrorExit;
    state.errors.emit_message = OnEmitMessage;
    state.errors.output_message = OnOutputMessage;
    cinfo_.client_data = &state;
    if (!Create(&cinfo_, &state)) throw EInvalidGraphic(state.message);
    created_ = true;
    state.source.init_source = OnInitSource;
    state.source.fill_input_buffer = OnFillInput;
    state.source.skip_input_data = OnSkipInput;
    state.source.resync_to_restart = jpeg_resync_to_restart;
    state.source.term_source = OnTermSource;
    cinfo_.src = &state.source;
    state.progress.progress_monitor = OnProgress;
    cinfo_.progress = &state.progress;
  }
  ~JpegDecompressor() {
    if (created_) jpeg_destroy_decompress(&cinfo_);
  }
  JpegDecompressor(const JpegDecompressor&) = delete;
  JpegDecompressor& operator=(const JpegDecompressor&) = delete;

  j_decompress_ptr Get() { return &cinfo_; }

 private:
  static bool Create(j_decompress_ptr cinfo, DecodeState* state) {
    if (setjmp(state->jump)) return false;
    jpeg_create_decompress(cinfo);
    return true;
  }

  jpeg_decompress_struct cinfo_{};
  bool created_ = false;
};

bool IsCmyk(J_COLOR_SPACE space) {
  return space == JCS_CMYK || space == JCS_YCCK;
}

// Inverted CMYK to blue-green-red. With c and k the stored (inverted) values each
// channel is k - round((255 - c) * k / 255), the formula of the common peers.
void CmykRowToBgr(const JSAMPLE* cmyk, std::uint8_t* bgr, unsigned width) {
  for (unsigned x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
    const int k = cmyk[3];
    for (int c = 0; c < 3; ++c) {
      const int t = (255 - cmyk[c]) * k + 128;
      bgr[2 - c] = std::uint8_t(k - ((t + (t >> 8)) >> 8));
    }
  }
}

// The first APP1 segment that carries Exif data.
void CopyExif(j_decompress_ptr cinfo, std::vector<std::uint8_t>& exif) {
  static constexpr char kSignature[] = "Exif\0";  // with the terminator: six bytes
  for (jpeg_saved_marker_ptr marker = cinfo->marker_list; marker; marker = marker->next) {
    if (marker->marker != JPEG_APP0 + 1 || marker->data_length < sizeof kSignature) continue;
    if (std::memcmp(marker->data, kSignature, sizeof kSignature) != 0) continue;
    exif.assign(marker->data, marker->data + marker->data_length);
    return;
  }
}

// Every libjpeg call of one decode. Errors come back here through longjmp, so this
// frame holds no object with a destructor; C++ exceptions thrown by the bitmap pass
// through it normally.
bool RunDecode(j_decompress_ptr cinfo, DecodeState* state) {
  if (setjmp(state->jump)) return false;
  if (state->exif) jpeg_save_markers(cinfo, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(cinfo, TRUE);
  if (state->exif) CopyExif(cinfo, *state->exif);
  // The scans that follow the header must be able to hold the picture.
  const std::uint64_t coded = state->stream->Remaining() + cinfo->src->bytes_in_buffer;
  CheckCodedSize("JPEG", cinfo->image_width, cinfo->image_height, coded, kJpegPixelsPerByte);
  const bool cmyk = IsCmyk(cinfo->jpeg_color_space);
  cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
  jpeg_start_decompress(cinfo);
  const unsigned width = cinfo->output_width;
  TBitmap& bitmap = *state->bitmap;
  bitmap.SetPixelFormat(TPixelFormat::pf24bit);
  bitmap.SetSize(int(width), int(cinfo->output_height));
  if (cmyk) state->cmyk_row.resize(std::size_t(width) * 4);
  while (cinfo->output_scanline < cinfo->output_height) {
    const int y = int(cinfo->output_scanline);
    JSAMPROW row = cmyk ? state->cmyk_row.data() : bitmap.ScanLine(y);
    if (jpeg_read_scanlines(cinfo, &row, 1) != 1) break;
    if (cmyk) CmykRowToBgr(row, bitmap.ScanLine(y), width);
  }
  // The decoder is not finished: what follows the last row (normally just the end
  // marker) is not needed, and a file that lacks it still shows.
  jpeg_abort_decompress(cinfo);
  return true;
}

}  // namespace

void DecodeJpeg(TStream& stream, TBitmap& bitmap, ProgressObserver* observer,
                std::vector<std::uint8_t>* exif) {
  bitmap.ReleaseHandle();
  if (exif) exif->clear();
  DecodeState state;
  state.exif = exif;
  state.stream = &stream;
  state.observer = observer;
  state.bitmap = &bitmap;
  state.input.resize(kInputChunk);
  JpegDecompressor decompressor(state);
  bool ok = false;
  try {
    ok = RunDecode(decompressor.Get(), &state);
  } catch (...) {
    bitmap.ReleaseHandle();
    throw;
  }
  if (!ok) {
    bitmap.ReleaseHandle();
    throw EInvalidGraphic(state.message);
  }
}

}  // namespace qel
