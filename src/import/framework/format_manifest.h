// The rows of src/import/formats.def as data: every reader, and every extension
// registration in start-up order. The registry fills its tables from them; the MIME
// types and the tests over every reader read them too.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "imaging/graphic.h"

namespace qel {

// Where a registration goes, in start-up order.
enum class FormatList : std::uint8_t {
  kPlatform,       // the picture list's entries of the platform's own readers
  kJpeg,           // the picture list's JPEG entries
  kImportLibrary,  // the import library's table, passed on to the picture list
  kLater,          // the picture list's PNG, JPEG 2000 and GIF entries
  kAdded,          // the formats the table predates, in their own list after it
};

struct FormatRow {
  FormatList list;
  std::string_view extension;  // lower case, without the dot
  const GraphicClass& (*graphic_class)();
  std::string_view common_description;  // the only one for the picture list's rows
  std::string_view individual_description;
  std::uint8_t kinds;     // FormatKinds bits
  const char* mime_type;  // nullptr where the shared MIME database has none
};

// How a reader's fuzz target comes about.
enum class FuzzSetup : std::uint8_t {
  kLoad,         // made by the build: loads each input as a file of the fuzz extension
  kLoadBounded,  // the same, passing over inputs that claim too many pixels
  kOwn,          // a source file of its own in fuzz/
};

struct ReaderRow {
  const GraphicClass& (*graphic_class)();
  std::string_view test_folder;  // tests/unit/import/<test folder>/
  std::string_view fuzz_target;  // fuzz/corpus/<fuzz target>/ holds its seeds
  FuzzSetup fuzz_setup;
  std::string_view fuzz_extension;  // what its fuzz inputs are loaded as
};

// Every registration, in start-up order.
std::span<const FormatRow> FormatManifest();
// Every reader, in the order of its first registration.
std::span<const ReaderRow> ReaderManifest();

}  // namespace qel
