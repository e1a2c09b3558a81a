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

  // Opens the file, asks RecognizesStream and closes it; false when it cannot be opened.
  bool RecognizesFile(const std::string& path) const;
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
  TStream* source_stream_ = nullptr;
  TRect progress_rect_{};

 private:
  TColorManager color_manager_;
  TImageProperties properties_;
};

// Byte order helpers used by readers of big-endian formats.
void SwapShorts(std::uint16_t* words, std::size_t count);
void SwapLongs(std::uint32_t* words, std::size_t count);
std::uint32_t SwapLong(std::uint32_t value);
// Undoes TIFF horizontal differencing (predictor 2) in place over one row of
// pixel_count pixels of samples_per_pixel bytes each (1, 3 or 4 samples).
void Depredict(std::uint8_t* row, std::size_t pixel_count, int samples_per_pixel);

}  // namespace qel
