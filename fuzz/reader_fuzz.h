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

}  // namespace qel::fuzz
