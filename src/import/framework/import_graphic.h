// TImportGraphic: the base of every reader of the import library. A reader decodes a
// file into the bitmap that it is, through its colour manager.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "import/color/manager.h"
#include "import/framework/bitmap.h"
#include "import/framework/image_properties.h"

namespace qel {

class TStream;

class TImportGraphic : public TBitmap {
 public:
  TImportGraphic() = default;

  static const GraphicClass& StaticClass();

  // True when the stream, from its position, holds an image of this class's format.
  // Never raises; the position is restored.
  virtual bool RecognizesStream(TStream& stream) const;
  // Fills the properties from the header of image image_index (0 = first). The base
  // resets the record (FileGamma 1.0, everything else zero or empty) and answers false.
  virtual bool ReadProperties(TStream& stream, int image_index);

  const TImageProperties& ImageProperties() const { return properties_; }
  // Copies the properties (arrays included) and the bitmap of another reader.
  void Assign(const TImportGraphic& source);

  TColorManager& ColorManager() { return color_manager_; }

 protected:
  TImageProperties& Properties() { return properties_; }

  // Progress notifications with the rectangle the reader keeps: kStarting resets it
  // to the first row, each running step moves it down one row.
  void StartProgress(std::string_view message);
  void RowProgress(std::uint32_t rows_done, std::uint32_t total_rows, std::string_view message);
  void EndProgress(std::string_view message);

  // Throws EInvalidGraphic with the pattern's %s filled from args.
  [[noreturn]] static void GraphicError(std::string_view pattern,
                                        std::initializer_list<std::string_view> args);

  std::uint64_t base_position_ = 0;
  TRect progress_rect_{};

 private:
  TColorManager color_manager_;
  TImageProperties properties_;
};

}  // namespace qel
