// GIF encoder: the picture reduced to one frame (octree palette between the system
// colours, nearest-colour mapping, transparency when the table has room), written
// through giflib as a single image with a local colour table and LZW-coded pixels.
#include <gif_lib.h>

#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "imaging/errors.h"
#include "imaging/stream.h"
#include "output/gif_frame.h"
#include "output/gif_palette.h"
#include "output/picture_writers.h"

namespace qel {

namespace {

// The logical screen and the image descriptor hold 16-bit sizes.
constexpr int kMaxGifSide = 65535;
constexpr int kColorResolution = 8;

// Sizes of the blocks written ahead of the image descriptor's packed field.
constexpr std::uint64_t kHeaderAndScreenSize = 6 + 7;  // "GIF8xa", logical screen descriptor
constexpr std::uint64_t kGraphicControlSize = 8;       // introducer, label, 4-byte block, terminator
constexpr std::uint64_t kDescriptorPackedOffset = 9;   // separator, left, top, width, height
constexpr std::uint8_t kSortedTableFlag = 0x20;

struct GifOutput {
  TStream* stream = nullptr;
  std::exception_ptr stream_error;
  std::uint64_t written = 0;
  // giflib writes the sorted flag of a global colour table only; for the local table
  // it is set here, in the image descriptor's packed field as it passes through.
  std::optional<std::uint64_t> sorted_flag_offset;
};

// giflib's output function: the stream's exception is kept and the library told that
// nothing was written; it is raised again once the library has returned.
int WriteCallback(GifFileType* gif, const GifByteType* data, int length) {
  auto* output = static_cast<GifOutput*>(gif->UserData);
  if (output->stream_error || length < 0) return 0;
  try {
    const std::uint64_t start = output->written;
    const std::uint64_t end = start + std::uint64_t(length);
    if (output->sorted_flag_offset && *output->sorted_flag_offset >= start &&
        *output->sorted_flag_offset < end) {
      std::vector<GifByteType> patched(data, data + length);
      patched[std::size_t(*output->sorted_flag_offset - start)] |= kSortedTableFlag;
      output->stream->Write(patched.data(), patched.size());
    } else {
      output->stream->Write(data, std::size_t(length));
    }
    output->written = end;
    return length;
  } catch (...) {
    output->stream_error = std::current_exception();
    return 0;
  }
}

// Closing also writes the trailer; on an error path that write is of no consequence,
// since the caller discards the output.
struct GifFileCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    EGifCloseFile(gif, &error);
  }
};
using GifFilePtr = std::unique_ptr<GifFileType, GifFileCloser>;

struct ColorMapFreer {
  void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};
using ColorMapPtr = std::unique_ptr<ColorMapObject, ColorMapFreer>;

[[noreturn]] void Fail(const GifOutput& output, int error) {
  if (output.stream_error) std::rethrow_exception(output.stream_error);
  const char* text = GifErrorString(error);
  throw Error(std::string("GIF error: ") + (text ? text : "unknown error"));
}

// The smallest power of two that holds count entries (at least 2, the format's minimum).
int TableSizeFor(int count) {
  int size = 2;
  while (size < count) size *= 2;
  return size;
}

ColorMapPtr MakeLocalColorTable(const TGIFColorMap& table) {
  // Padded with black up to the table size.
  const int size = TableSizeFor(table.count);
  std::unique_ptr<GifColorType[]> colors = std::make_unique<GifColorType[]>(std::size_t(size));
  for (int i = 0; i < size; ++i) colors[std::size_t(i)] = GifColorType{0, 0, 0};
  for (int i = 0; i < table.count && i < size; ++i) {
    const TRGBTriple& c = table.colors[std::size_t(i)];
    colors[std::size_t(i)] = GifColorType{c.red, c.green, c.blue};
  }
  ColorMapPtr map(GifMakeMapObject(size, colors.get()));
  if (!map) throw EOutOfResources("Out of memory while saving a GIF image.");
  map->SortFlag = table.optimized;
  return map;
}

// One frame written through giflib: the screen, the frame's header and colour table,
// then its rows as they come, then the trailer.
class GifFrameWriter {
 public:
  GifFrameWriter(TStream& stream, int width, int height, const TGIFColorMap& table,
                 std::optional<std::uint8_t> transparent_index)
      : width_(width) {
    output_.stream = &stream;
    int error = 0;
    gif_.reset(EGifOpen(&output_, &WriteCallback, &error));
    if (!gif_) Fail(output_, error);
    if (table.optimized) {
      output_.sorted_flag_offset =
          kHeaderAndScreenSize + (transparent_index ? kGraphicControlSize : 0) + kDescriptorPackedOffset;
    }
    EGifSetGifVersion(gif_.get(), transparent_index.has_value() || table.optimized);
    // No global colour table: the frame brings its own.
    Check(EGifPutScreenDesc(gif_.get(), width, height, kColorResolution, 0, nullptr));
    if (transparent_index) {
      GraphicsControlBlock control{};
      control.DisposalMode = DISPOSAL_UNSPECIFIED;
      control.UserInputFlag = false;
      control.DelayTime = 0;
      control.TransparentColor = *transparent_index;
      GifByteType extension[4];
      const std::size_t length = EGifGCBToExtension(&control, extension);
      Check(EGifPutExtension(gif_.get(), GRAPHICS_EXT_FUNC_CODE, int(length), extension));
    }
    ColorMapPtr local = MakeLocalColorTable(table);
    Check(EGifPutImageDesc(gif_.get(), 0, 0, width, height, false, local.get()));
  }

  // The next row: width palette indices.
  void PutLine(const std::uint8_t* indices) {
    // The library reads the line without changing it.
    Check(EGifPutLine(gif_.get(), const_cast<GifPixelType*>(indices), width_));
  }

  // Writes the trailer and releases the handle whatever the outcome.
  void Finish() {
    int error = 0;
    if (EGifCloseFile(gif_.release(), &error) == GIF_ERROR || output_.stream_error) Fail(output_, error);
  }

 private:
  void Check(int result) {
    if (result == GIF_ERROR) Fail(output_, gif_->Error);
  }

  GifOutput output_;
  GifFilePtr gif_;
  int width_;
};

}  // namespace

void WriteGif(const Picture& picture, TStream& stream) {
  if (picture.Empty()) throw Error("Cannot save an empty picture as GIF.");
  if (picture.Width() > kMaxGifSide || picture.Height() > kMaxGifSide) {
    throw Error("A GIF image can be at most 65535 pixels wide and high.");
  }
  if (picture.Transparent()) {
    // The table is sorted by use before the first row can be written.
    const TGIFFrame frame = MakeGifFrame(picture);
    GifFrameWriter writer(stream, frame.width, frame.height, frame.color_map, frame.transparent_index);
    const std::size_t width = std::size_t(frame.width);
    for (std::size_t at = 0; at < frame.pixels.size(); at += width) writer.PutLine(frame.pixels.data() + at);
    writer.Finish();
    return;
  }
  // The whole palette in its order: rows are coded while later ones are being mapped.
  const TGIFColorMap palette = OptimizedPaletteWithSystemColors(picture);
  GifFrameWriter writer(stream, picture.Width(), picture.Height(), palette, std::nullopt);
  MapRowsInOrder(picture, palette, 0, [&](const std::uint8_t* indices) { writer.PutLine(indices); });
  writer.Finish();
}

}  // namespace qel
