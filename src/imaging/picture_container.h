// The picture container: the ordered list of { extension, description, graphic class }
// that decides by a file name's extension which class decodes a file, and the loader
// built on it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "imaging/graphic.h"

namespace qel {

class TPictureFormatList {
 public:
  struct Entry {
    std::string extension;  // lower case, without the dot
    std::string description;
    const GraphicClass* graphic_class;
  };

  // Appends an entry; the extension is stored lower-cased.
  void Register(std::string_view extension, std::string_view description, const GraphicClass& graphic_class);
  // The class of the matching entry nearest the end of the list, or nullptr.
  const GraphicClass* FindExtension(std::string_view extension) const;
  // "All (*.a;*.b)|*.a;*.b|Desc B (*.b)|*.b|Desc A (*.a)|*.a" over the entries whose class
  // derives from base, the last registration first.
  std::string BuildFilterText(const GraphicClass& base) const;
  // The single entries of that text alone: "Desc B (*.b)|*.b|Desc A (*.a)|*.a".
  std::string BuildEntryText(const GraphicClass& base) const;
  // Removes the entries of the class and of every class derived from it.
  void Unregister(const GraphicClass& graphic_class);

  const std::vector<Entry>& Entries() const { return entries_; }
  void Clear() { entries_.clear(); }

 private:
  std::vector<Entry> entries_;
};

// The list every load goes through. Start-up fills it (RegisterStartupFormats in the
// import library); nothing changes it afterwards.
TPictureFormatList& PictureFormats();

// The filter text over every format of that list.
std::string PictureFilterText();

// The rows registered after that list is complete: readers of formats it predates (WebP,
// AVIF, HEIF, JPEG XL, camera raw, SVG). They claim only extensions it does not claim, so
// its rows, its winners and its filter text stay exactly as they are.
TPictureFormatList& AddedPictureFormats();

// The class that reads files with this extension (without the dot, any case): the
// winner of PictureFormats, else that of AddedPictureFormats; nullptr when none claims it.
const GraphicClass* FindPictureClass(std::string_view extension);

// What a drop is tested against: PictureFilterText followed by the entries of the added
// rows, the last registration first.
std::string ReadableFilterText();

// The extension of a path: from the last dot of its last element, dot included; empty
// when that element has no dot.
std::string ExtractFileExt(std::string_view path);
// The last element of a path (text after the last '/').
std::string ExtractFileName(std::string_view path);
std::string LowerCase(std::string_view text);

// Loads a picture file with the class FindPictureClass names for its extension and
// returns it as a 24-bit picture. Fails with "Unknown picture file extension (.%s)" when
// no class claims the extension; a reader's own errors pass through unchanged.
Picture LoadPictureFile(const std::string& path, ProgressObserver* observer = nullptr);

// Loads a file with the given class, whatever its extension.
Picture LoadPictureFileAs(const std::string& path, const GraphicClass& graphic_class,
                          ProgressObserver* observer = nullptr);

// The same for a graphic of a given class read from a stream (used by tests and by
// qel-convert's choice of reader).
Picture LoadPictureStream(TStream& stream, const GraphicClass& graphic_class,
                          ProgressObserver* observer = nullptr);

}  // namespace qel
