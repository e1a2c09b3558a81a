// The common run of a reader target: the input is a file of some extension and goes the
// way the viewer loads it, through the class the format list names for that extension
// and the conversion to a 24-bit picture. A reader may refuse the input with an Error;
// anything else (a crash, a sanitizer report, an allocation beyond libFuzzer's limit,
// a picture whose size disagrees with its pixels) stops the run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "fuzz_input.h"
#include "imaging/errors.h"
#include "imaging/graphic.h"
#include "imaging/picture_container.h"
#include "imaging/stream.h"
#include "import/framework/format_registry.h"
#include "import/framework/import_graphic.h"

namespace qel::fuzz {

// Checks what a reader reports while it works: percentages stay within 0..100 and the
// stages come in order.
class CheckingObserver : public ProgressObserver {
 public:
  void OnProgress(ProgressStage stage, int percent, const TRect&, std::string_view) override {
    Require(percent >= 0 && percent <= 100);
    Require(static_cast<int>(stage) >= 0 && static_cast<int>(stage) <= 2);
  }
  void OnWarning(std::string_view) override {}
};

// The class the viewer uses for files with this extension (without the dot).
inline const GraphicClass& ClassForExtension(std::string_view extension) {
  RegisterStartupFormats();
  const GraphicClass* graphic_class = FindPictureClass(extension);
  Require(graphic_class != nullptr);
  return *graphic_class;
}

// A loaded picture is consistent: its bytes cover its rows, and every pixel can be read.
inline void CheckPicture(const Picture& picture) {
  if (picture.Empty()) return;
  Require(picture.Width() > 0 && picture.Height() > 0);
  Require(picture.RowSize() == Picture::RowSizeFor(picture.Width()));
  Require(picture.Bytes().size() == picture.RowSize() * std::size_t(picture.Height()));
  // Reading the corners lets the sanitizers see a picture shorter than it claims.
  volatile TColor sink = picture.Pixel(0, 0) ^ picture.Pixel(picture.Width() - 1, picture.Height() - 1);
  (void)sink;
}

// Loads the bytes with a graphic of the class as a stream read of a whole file.
inline int LoadWithClass(const GraphicClass& graphic_class, const std::uint8_t* data, std::size_t size) {
  TMemoryStream stream(std::span<const std::uint8_t>(data, size));
  CheckingObserver observer;
  try {
    CheckPicture(LoadPictureStream(stream, graphic_class, &observer));
  } catch (const Error&) {
    // A clean refusal is a correct answer to a damaged file.
  }
  return 0;
}

inline int LoadAsExtension(std::string_view extension, const std::uint8_t* data, std::size_t size) {
  return LoadWithClass(ClassForExtension(extension), data, size);
}

// The same for the formats whose libraries code a blank picture of any size in a few
// bytes (WebP, AVIF, HEIF, JPEG XL, camera raw, SVG): the readers rightly accept such a
// file up to the picture limits, beyond what the fuzzer's memory limit holds, so an input
// whose header (as the reader's own ReadProperties reads it) claims more than
// kMostPixels is passed over rather than reported.
inline int LoadAsExtensionOfBoundedSize(std::string_view extension, const std::uint8_t* data,
                                        std::size_t size) {
  constexpr std::uint64_t kMostPixels = std::uint64_t(1) << 24;
  const GraphicClass& graphic_class = ClassForExtension(extension);
  std::unique_ptr<TGraphic> graphic = graphic_class.Create();
  auto* reader = dynamic_cast<TImportGraphic*>(graphic.get());
  Require(reader != nullptr);
  TMemoryStream stream(std::span<const std::uint8_t>(data, size));
  if (reader->ReadProperties(stream, 0)) {
    const TImageProperties& header = reader->ImageProperties();
    if (std::uint64_t(header.Width) * header.Height > kMostPixels) return 0;
  }
  return LoadWithClass(graphic_class, data, size);
}

}  // namespace qel::fuzz
