#include "cli/reading.h"

#include "imaging/errors.h"
#include "imaging/picture_container.h"
#include "import/gif/reader.h"
#include "import/png/reader.h"

namespace qel::cli {

const GraphicClass& ReaderFor(const std::string& path, bool import_reader) {
  std::string ext = LowerCase(ExtractFileExt(path));
  if (import_reader && ext == ".gif") return TGIFGraphic::StaticClass();
  if (import_reader && ext == ".png") return TPNGGraphic::StaticClass();
  if (!ext.empty()) ext.erase(0, 1);
  const GraphicClass* graphic_class = ext.empty() ? nullptr : FindPictureClass(ext);
  if (!graphic_class) throw EInvalidGraphic(FormatMessage("Unknown picture file extension (.%s)", {ext}));
  return *graphic_class;
}

Picture LoadInput(const std::string& path, bool import_reader, ProgressObserver* observer,
                  const GraphicClass** used) {
  const GraphicClass& graphic_class = ReaderFor(path, import_reader);
  if (used) *used = &graphic_class;
  return LoadPictureFileAs(path, graphic_class, observer);
}

}  // namespace qel::cli
