#include "import/framework/format_registry.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "import/format_readers.h"  // made by the build from the QEL_READER rows
#include "import/framework/format_manifest.h"

namespace qel {

namespace {

void Register(const FormatRow& row) {
  switch (row.list) {
    case FormatList::kPlatform:
    case FormatList::kJpeg:
    case FormatList::kLater:
      PictureFormats().Register(row.extension, row.common_description, row.graphic_class());
      break;
    case FormatList::kImportLibrary:
      GraphicFormatRegistry().Register(row.extension, row.common_description, row.individual_description,
                                       row.kinds, false, row.graphic_class());
      break;
    case FormatList::kAdded:
      AddedPictureFormats().Register(row.extension, row.common_description, row.graphic_class());
      break;
  }
}

void RegisterAll() {
  for (const FormatRow& row : FormatManifest()) Register(row);
}

// The classes of the list's rows, each once, the last registered first.
std::vector<const GraphicClass*> ClassesLastFirst(FormatList list) {
  std::vector<const GraphicClass*> classes;
  for (const FormatRow& row : FormatManifest()) {
    const GraphicClass* graphic_class = &row.graphic_class();
    if (row.list != list || std::find(classes.begin(), classes.end(), graphic_class) != classes.end())
      continue;
    classes.insert(classes.begin(), graphic_class);
  }
  return classes;
}

// The import library's own order at its end: its format classes one by one, the two
// extra extensions of the bitmap class (which stays registered through bmp), the PNG
// class; then the list is freed, which unregisters the classes it shares with the
// platform's list (and any not named here).
void UnregisterImportLibrary() {
  TFileFormatList& registry = GraphicFormatRegistry();
  for (const GraphicClass* c :
       {&TPSPGraphic::StaticClass(), &TPSDGraphic::StaticClass(), &TTargaGraphic::StaticClass(),
        &TTIFFGraphic::StaticClass(), &TEPSGraphic::StaticClass(), &TSGIGraphic::StaticClass(),
        &TPCXGraphic::StaticClass(), &TAutodeskGraphic::StaticClass(), &TPCDGraphic::StaticClass(),
        &TPPMGraphic::StaticClass(), &TCUTGraphic::StaticClass(), &TGIFGraphic::StaticClass(),
        &TRLAGraphic::StaticClass()}) {
    registry.Unregister("", *c);
  }
  registry.Unregister("rle", TBitmap::StaticClass());
  registry.Unregister("dib", TBitmap::StaticClass());
  registry.Unregister("", TPNGGraphic::StaticClass());
  registry.Clear();
}

void Unregister(FormatList list) {
  switch (list) {
    case FormatList::kAdded:
      AddedPictureFormats().Clear();
      break;
    case FormatList::kImportLibrary:
      UnregisterImportLibrary();
      break;
    case FormatList::kLater:
    case FormatList::kJpeg:
      for (const GraphicClass* c : ClassesLastFirst(list)) PictureFormats().Unregister(*c);
      break;
    case FormatList::kPlatform:
      break;  // the platform's entries stay
  }
}

}  // namespace

std::unique_ptr<TImportGraphic> CreateImportReader(std::string_view extension) {
  for (const FormatRow& row : FormatManifest()) {
    if (row.list != FormatList::kImportLibrary || extension != row.extension) continue;
    std::unique_ptr<TGraphic> graphic = row.graphic_class().Create();
    if (auto* reader = dynamic_cast<TImportGraphic*>(graphic.get())) {
      graphic.release();
      return std::unique_ptr<TImportGraphic>(reader);
    }
    return nullptr;
  }
  return nullptr;
}

TFileFormatList& GraphicFormatRegistry() {
  static TFileFormatList registry(PictureFormats());
  return registry;
}

void RegisterStartupFormats() {
  static std::once_flag once;
  std::call_once(once, RegisterAll);
}

void UnregisterShutdownFormats() {
  for (int list = int(FormatList::kAdded); list >= int(FormatList::kPlatform); --list) {
    Unregister(FormatList(list));
  }
}

}  // namespace qel
