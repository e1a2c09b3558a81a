#include "imaging/picture_container.h"

#include <algorithm>

#include "imaging/errors.h"
#include "imaging/stream.h"

namespace qel {

std::string LowerCase(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return char(c >= 'A' && c <= 'Z' ? c + 32 : c); });
  return out;
}

std::string ExtractFileName(std::string_view path) {
  auto slash = path.find_last_of('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string ExtractFileExt(std::string_view path) {
  std::string name = ExtractFileName(path);
  auto dot = name.find_last_of('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

void TPictureFormatList::Register(std::string_view extension, std::string_view description,
                                  const GraphicClass& graphic_class) {
  entries_.push_back(Entry{LowerCase(extension), std::string(description), &graphic_class});
}

const GraphicClass* TPictureFormatList::FindExtension(std::string_view extension) const {
  const std::string wanted = LowerCase(extension);
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
    if (it->extension == wanted) return it->graphic_class;
  }
  return nullptr;
}

std::string TPictureFormatList::BuildFilterText(const GraphicClass& base) const {
  std::string masks;
  int taken = 0;
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
    if (it->extension.empty() || !it->graphic_class->InheritsFrom(base)) continue;
    if (!masks.empty()) masks += ';';
    masks += "*." + it->extension;
    ++taken;
  }
  const std::string descriptions = BuildEntryText(base);
  if (taken > 1) return "All (" + masks + ")|" + masks + "|" + descriptions;
  return descriptions;
}

std::string TPictureFormatList::BuildEntryText(const GraphicClass& base) const {
  std::string descriptions;
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
    if (it->extension.empty() || !it->graphic_class->InheritsFrom(base)) continue;
    if (!descriptions.empty()) descriptions += '|';
    descriptions += it->description + " (*." + it->extension + ")|*." + it->extension;
  }
  return descriptions;
}

void TPictureFormatList::Unregister(const GraphicClass& graphic_class) {
  std::erase_if(entries_, [&](const Entry& e) { return e.graphic_class->InheritsFrom(graphic_class); });
}

TPictureFormatList& PictureFormats() {
  static TPictureFormatList list;
  return list;
}

std::string PictureFilterText() {
  return PictureFormats().BuildFilterText(TGraphic::StaticClass());
}

TPictureFormatList& AddedPictureFormats() {
  static TPictureFormatList list;
  return list;
}

const GraphicClass* FindPictureClass(std::string_view extension) {
  if (const GraphicClass* graphic_class = PictureFormats().FindExtension(extension)) return graphic_class;
  return AddedPictureFormats().FindExtension(extension);
}

std::string ReadableFilterText() {
  std::string text = PictureFilterText();
  const std::string added = AddedPictureFormats().BuildEntryText(TGraphic::StaticClass());
  if (!text.empty() && !added.empty()) text += '|';
  return text + added;
}

Picture LoadPictureStream(TStream& stream, const GraphicClass& graphic_class, ProgressObserver* observer) {
  std::unique_ptr<TGraphic> graphic = graphic_class.Create();
  if (!graphic)
    throw EInvalidGraphic("Cannot load image. No reader for " + std::string(graphic_class.Name()) + ".");
  graphic->SetObserver(observer);
  graphic->LoadFromStream(stream);
  return CopyToPicture(*graphic, true);
}

Picture LoadPictureFileAs(const std::string& path, const GraphicClass& graphic_class,
                          ProgressObserver* observer) {
  std::unique_ptr<TGraphic> graphic = graphic_class.Create();
  if (!graphic)
    throw EInvalidGraphic("Cannot load image. No reader for " + std::string(graphic_class.Name()) + ".");
  graphic->SetObserver(observer);
  graphic->LoadFromFile(path);
  // A reader that finds no picture in the file says so itself; this catches any that
  // would hand back an empty one as if it had succeeded.
  if (graphic->Width() <= 0 || graphic->Height() <= 0) {
    std::string name = ExtractFileExt(path);
    if (!name.empty()) name.erase(0, 1);
    for (char& c : name) c = char(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    throw EInvalidGraphic(FormatMessage("Cannot load image. Invalid or unexpected %s image format.", {name}));
  }
  return CopyToPicture(*graphic, true);
}

Picture LoadPictureFile(const std::string& path, ProgressObserver* observer) {
  std::string ext = ExtractFileExt(path);
  if (!ext.empty()) ext.erase(0, 1);
  const GraphicClass* graphic_class = ext.empty() ? nullptr : FindPictureClass(ext);
  if (!graphic_class) throw EInvalidGraphic(FormatMessage("Unknown picture file extension (.%s)", {ext}));
  return LoadPictureFileAs(path, *graphic_class, observer);
}

}  // namespace qel
