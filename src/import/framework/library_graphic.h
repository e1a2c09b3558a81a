// TLibraryGraphic: the base of the readers that hand a whole file to a decoding library
// (WebP, AVIF, HEIF, JPEG XL, camera raw, SVG). The library decodes; this class keeps
// what every such reader shares: the file read into memory, the header's claim checked
// against the picture limits before the pixels are made, the properties record, the
// progress notifications and the one rule for alpha (drawn over white).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "import/framework/bitmap.h"
#include "import/framework/import_graphic.h"
#include "import/framework/shared_library.h"

namespace qel {

class TLibraryGraphic : public TImportGraphic {
 public:
  // What the header of a file says.
  struct Header {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint8_t bits_per_sample = 8;  // as stored; the bitmap always gets 8
    bool alpha = false;
    AlphaKind alpha_kind = AlphaKind::kUnassociated;
  };

  // True when the first bytes carry the format's signature. Never raises.
  bool RecognizesStream(TStream& stream) const override;
  // Reads the file from the stream's position and fills the properties from its header;
  // false when the library cannot read one. The position is restored.
  bool ReadProperties(TStream& stream, int image_index) override;
  // Decodes the file that starts at the stream's position into the bitmap: 24-bit, or
  // 32-bit blue-green-red-alpha drawn over white when the file has alpha. Damaged data
  // fails with "Cannot load image. ..." and leaves the bitmap empty.
  void LoadFromStream(TStream& stream) override;

 protected:
  // The short name in messages ("WebP", "AVIF", ...).
  virtual std::string_view FormatName() const = 0;
  // Whether the first bytes of a file (at most kSignatureBytes, fewer for a short file)
  // are the format's.
  virtual bool HasSignature(std::span<const std::uint8_t> head) const = 0;
  // The header of the file, nullopt when the library finds none.
  virtual std::optional<Header> ReadHeader(std::span<const std::uint8_t> file) const = 0;
  // Decodes the file: learns the header, calls PrepareBitmap with it, fills the rows.
  // Raises EInvalidGraphic (InvalidFile, DamagedData) when the library fails.
  virtual void Decode(std::span<const std::uint8_t> file) = 0;

  // Checks the size against the picture limits, records the properties and makes the
  // bitmap: white 24-bit rows, or 32-bit rows when the header has alpha.
  void PrepareBitmap(const Header& header);
  // The row progress of the transfer into the bitmap.
  void RowsDone(int rows) { RowProgress(std::uint32_t(rows), std::uint32_t(Height()), kProgressText); }

  [[noreturn]] void InvalidFile() const;  // "Cannot load image. Invalid or unexpected %s image format."
  [[noreturn]] void DamagedData() const;  // "Cannot load image. Compression error found in %s file."
  // "Cannot load image. The %s decoding library (%s) cannot be loaded."
  [[noreturn]] void LibraryMissing(const SharedLibrary& library) const;

  static constexpr std::size_t kSignatureBytes = 32;
  static constexpr std::string_view kProgressText = "Loading data...";

 private:
  void RecordProperties(const Header& header);

  std::optional<Header> prepared_;
};

// Rows of red-green-blue(-alpha) samples to the bitmap's blue-green-red(-alpha) order:
// swaps the first and third byte of each of the width pixels of channels bytes (3 or 4).
// in and out may be the same row.
void SwapRedAndBlue(const std::uint8_t* in, std::uint8_t* out, int width, int channels);

}  // namespace qel
