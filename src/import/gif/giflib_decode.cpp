#include "import/gif/giflib_decode.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
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

// What giflib's read callback works with.
struct GifSource {
  TStream* stream = nullptr;
  bool short_read = false;  // the data ended before a read was satisfied
};

int ReadFromStream(GifFileType* gif, GifByteType* buffer, int count) {
  if (count <= 0) return 0;
  auto* source = static_cast<GifSource*>(gif->UserData);
  std::size_t got = 0;
  try {
    got = source->stream->Read(buffer, std::size_t(count));
  } catch (...) {
  }
  if (got < std::size_t(count)) source->short_read = true;
  return int(got);
}

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

[[noreturn]] void Fail(int code) {
  if (code == D_GIF_ERR_NOT_GIF_FILE) throw EInvalidGraphic(FormatMessage(msg::kInvalidImage, {"GIF"}));
  if (code == D_GIF_ERR_READ_FAILED) throw EInvalidGraphic(FormatMessage(msg::kStreamReadError, {"GIF"}));
  const char* text = GifErrorString(code);
  throw EInvalidGraphic(std::string("Cannot load GIF image. ") + (text ? text : "Unknown error."));
}

// giflib reads the image descriptor, the local palette and the LZW minimum code size
// unbuffered, and refuses code sizes above 8 as a read failure; this says so plainly.
[[noreturn]] void FailImageStart(GifFileType* gif) {
  auto* source = static_cast<GifSource*>(gif->UserData);
  TStream* stream = source->stream;
  if (gif->Error == D_GIF_ERR_READ_FAILED && !source->short_read && stream->Position() > 0) {
    std::uint8_t code_size = 0;
    stream->SetPosition(stream->Position() - 1);
    if (stream->Read(&code_size, 1) == 1 && code_size > 8) {
      throw EInvalidGraphic(
          FormatMessage(msg::kUnsupportedFeature, {"LZW code size " + std::to_string(code_size), "GIF"}));
    }
  }
  Fail(gif->Error);
}

GifHandle Open(GifSource& source) {
  int error = 0;
  GifHandle gif(DGifOpen(&source, ReadFromStream, &error));
  if (!gif) Fail(source.short_read && error != D_GIF_ERR_NOT_GIF_FILE ? D_GIF_ERR_READ_FAILED : error);
  return gif;
}

// Skips the sub-blocks that remain of an extension.
void SkipExtensionBlocks(GifFileType* gif) {
  GifByteType* block = nullptr;
  do {
    if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) Fail(gif->Error);
  } while (block != nullptr);
}

// Reads records up to the first image descriptor and returns the transparent index
// the graphic control extensions before it set (-1 for none).
int ReadUpToFirstImage(GifFileType* gif) {
  int transparent = NO_TRANSPARENT_COLOR;
  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) Fail(gif->Error);
    switch (type) {
      case IMAGE_DESC_RECORD_TYPE:
        if (DGifGetImageDesc(gif) == GIF_ERROR) FailImageStart(gif);
        return transparent;
      case EXTENSION_RECORD_TYPE: {
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) Fail(gif->Error);
        if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4) {
          GraphicsControlBlock gcb;
          if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK &&
              gcb.TransparentColor != NO_TRANSPARENT_COLOR) {
            transparent = gcb.TransparentColor;
          }
        }
        if (block != nullptr) SkipExtensionBlocks(gif);
        break;
      }
      case TERMINATE_RECORD_TYPE:
        throw EInvalidGraphic(FormatMessage(msg::kInvalidImage, {"GIF"}));
      default:
        break;
    }
  }
}

// Reads the frame's rows into the canvas of indices, in the file's order; interlaced
// frames come in four passes. Marks each canvas row the frame fills. When the data
// fails after some rows, the rows read so far are kept and false is returned; a frame
// of which no row can be read is an error.
bool ReadFrame(GifFileType* gif, std::vector<GifPixelType>& canvas, int canvas_width,
               std::vector<bool>& decoded) {
  const GifImageDesc& d = gif->Image;
  if (d.Width <= 0 || d.Height <= 0) return true;
  static constexpr int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
  const int passes = d.Interlace ? 4 : 1;
  bool any = false;
  for (int pass = 0; pass < passes; ++pass) {
    const int start = d.Interlace ? kStart[pass] : 0, step = d.Interlace ? kStep[pass] : 1;
    for (int y = start; y < d.Height; y += step) {
      GifPixelType* row =
          canvas.data() + std::size_t(d.Top + y) * std::size_t(canvas_width) + std::size_t(d.Left);
      if (DGifGetLine(gif, row, d.Width) == GIF_ERROR) {
        if (!any) Fail(gif->Error);
        return false;
      }
      decoded[std::size_t(d.Top + y)] = true;
      any = true;
    }
  }
  return true;
}

Palette PaletteOf(const ColorMapObject* map) {
  Palette palette;
  if (!map || !map->Colors) return palette;
  for (int i = 0; i < map->ColorCount; ++i) {
    palette.push_back({map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue, 0});
  }
  return palette;
}

}  // namespace

void DecodeGifFirstFrame(TStream& stream, TBitmap& bitmap, ProgressObserver* observer) {
  bitmap.ReleaseHandle();
  GifSource source{&stream};
  GifHandle gif = Open(source);
  const int transparent = ReadUpToFirstImage(gif.get());
  const GifImageDesc& frame = gif->Image;
  const int width = std::max(gif->SWidth, frame.Left + frame.Width);
  const int height = std::max(gif->SHeight, frame.Top + frame.Height);
  if (width <= 0 || height <= 0) throw EInvalidGraphic(FormatMessage(msg::kInvalidImage, {"GIF"}));
  CheckCodedSize("GIF", width, height, stream.Remaining(), kLzwPixelsPerByte);

  // The frame's palette: its own, or the global one.
  const Palette palette = PaletteOf(frame.ColorMap ? frame.ColorMap : gif->SColorMap);
  const GifPixelType fill = transparent != NO_TRANSPARENT_COLOR ? GifPixelType(transparent) : 0;
  std::vector<GifPixelType> canvas;
  canvas.assign(std::size_t(width) * std::size_t(height), fill);
  std::vector<bool> decoded(std::size_t(height), false);
  const bool complete = ReadFrame(gif.get(), canvas, width, decoded);
  const int frame_left = frame.Left, frame_top = frame.Top, frame_width = frame.Width,
            frame_height = frame.Height;
  gif.reset();
  // Rows of the frame the data did not reach are left white.
  const auto missing = [&](int y) {
    return !complete && y >= frame_top && y < frame_top + frame_height && !decoded[std::size_t(y)];
  };

  // Indices to colours; an index the palette lacks is black, and without a palette
  // the index is a grey level.
  std::uint8_t lookup[256][3];
  for (int i = 0; i < 256; ++i) {
    if (palette.empty()) {
      lookup[i][0] = lookup[i][1] = lookup[i][2] = std::uint8_t(i);
    } else if (std::size_t(i) < palette.size()) {
      lookup[i][0] = palette[std::size_t(i)].blue;
      lookup[i][1] = palette[std::size_t(i)].green;
      lookup[i][2] = palette[std::size_t(i)].red;
    } else {
      lookup[i][0] = lookup[i][1] = lookup[i][2] = 0;
    }
  }
  const bool has_transparent_pixels =
      transparent != NO_TRANSPARENT_COLOR &&
      std::find(canvas.begin(), canvas.end(), GifPixelType(transparent)) != canvas.end();
  bitmap.SetPixelFormat(has_transparent_pixels ? TPixelFormat::pf32bit : TPixelFormat::pf24bit);
  bitmap.SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    const GifPixelType* src = canvas.data() + std::size_t(y) * std::size_t(width);
    std::uint8_t* dst = bitmap.ScanLine(y);
    if (missing(y)) {
      const std::size_t bytes = has_transparent_pixels ? 4 : 3;
      for (int x = frame_left; x < frame_left + frame_width && x < width; ++x)
        std::memset(dst + bytes * std::size_t(x), 0xFF, bytes);
      if (frame_left > 0 || frame_left + frame_width < width) {
        // The canvas around the frame keeps its colour.
        for (int x = 0; x < width; ++x) {
          if (x >= frame_left && x < frame_left + frame_width) continue;
          std::memcpy(dst + bytes * std::size_t(x), lookup[src[x]], 3);
          if (bytes == 4) dst[4 * x + 3] = src[x] == transparent ? 0 : 255;
        }
      }
      continue;
    }
    if (has_transparent_pixels) {
      for (int x = 0; x < width; ++x, dst += 4) {
        std::memcpy(dst, lookup[src[x]], 3);
        dst[3] = src[x] == transparent ? 0 : 255;
      }
    } else {
      for (int x = 0; x < width; ++x, dst += 3) std::memcpy(dst, lookup[src[x]], 3);
    }
  }
  bitmap.SetAlphaBlended(has_transparent_pixels);
  bitmap.SetTransparent(has_transparent_pixels);
  bitmap.SetPalette(palette);
  if (!complete && observer) observer->OnWarning(FormatMessage(msg::kImageCutShort, {"GIF"}));
}

}  // namespace qel
