#include "import/framework/format_manifest.h"

#include "import/format_readers.h"  // made by the build from the QEL_READER rows
#include "import/framework/file_format_list.h"

namespace qel {

namespace {

using namespace FormatKinds;

#define QEL_NO_MIME_TYPE nullptr
#define QEL_FUZZ_LOAD FuzzSetup::kLoad
#define QEL_FUZZ_LOAD_BOUNDED FuzzSetup::kLoadBounded
#define QEL_FUZZ_OWN FuzzSetup::kOwn

constexpr ReaderRow kReaders[] = {
#define QEL_READER(graphic_class, header, test_folder, fuzz_target, fuzz_setup, fuzz_extension) \
  {&graphic_class::StaticClass, #test_folder, #fuzz_target, fuzz_setup, fuzz_extension},
#define QEL_FORMAT(...)
#include "import/formats.def"
#undef QEL_READER
#undef QEL_FORMAT
};

constexpr FormatRow kFormats[] = {
#define QEL_READER(...)
#define QEL_FORMAT(list, extension, graphic_class, common, individual, kinds, mime_type) \
  {FormatList::k##list, extension, &graphic_class::StaticClass, common, individual, kinds, mime_type},
#include "import/formats.def"
#undef QEL_READER
#undef QEL_FORMAT
};

constexpr bool InStartUpOrder() {
  for (std::size_t i = 1; i < std::size(kFormats); ++i) {
    if (kFormats[i].list < kFormats[i - 1].list) return false;
  }
  return true;
}

constexpr bool HasReaderRow(const FormatRow& format) {
  for (const ReaderRow& reader : kReaders) {
    if (reader.graphic_class == format.graphic_class) return true;
  }
  return false;
}

// Every reader is registered, once in the reader rows, for its fuzz extension among others.
constexpr bool IsRegisteredOnce(const ReaderRow& reader) {
  int readers = 0;
  for (const ReaderRow& other : kReaders) readers += other.graphic_class == reader.graphic_class;
  bool fuzz_extension = false;
  for (const FormatRow& format : kFormats) {
    fuzz_extension = fuzz_extension || (format.graphic_class == reader.graphic_class &&
                                        format.extension == reader.fuzz_extension);
  }
  return readers == 1 && fuzz_extension;
}

constexpr bool RowsAgree() {
  for (const FormatRow& format : kFormats) {
    if (!HasReaderRow(format)) return false;
  }
  for (const ReaderRow& reader : kReaders) {
    if (!IsRegisteredOnce(reader)) return false;
  }
  return true;
}

static_assert(InStartUpOrder(), "formats.def: the rows of each list together, the lists in start-up order");
static_assert(RowsAgree(),
              "formats.def: each class of a QEL_FORMAT row needs one QEL_READER row, and each reader a "
              "QEL_FORMAT row of its fuzz extension");

}  // namespace

std::span<const FormatRow> FormatManifest() {
  return kFormats;
}

std::span<const ReaderRow> ReaderManifest() {
  return kReaders;
}

}  // namespace qel
