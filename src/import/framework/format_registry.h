// Start-up and shutdown of the format tables: which class opens which extension.
#pragma once

#include <memory>
#include <string_view>

#include "import/framework/file_format_list.h"

namespace qel {

// The import library's registry (it feeds the picture container's list).
TFileFormatList& GraphicFormatRegistry();

// Fills the tables from the rows of src/import/formats.def, in start-up order: the four
// platform entries, JPEG, the import library's forty registrations, PNG, JPEG 2000, GIF,
// then the added formats. Runs once; later calls do nothing.
void RegisterStartupFormats();

class TImportGraphic;

// A new reader of the import library for the extension (without the dot, lower case),
// whether or not the tables have been filled: the way one format reads an image of
// another that it embeds (the TIFF preview of an EPS file). nullptr when no import
// reader opens the extension.
std::unique_ptr<TImportGraphic> CreateImportReader(std::string_view extension);

// Unregisters in the reverse of start-up order (what happens at program end).
void UnregisterShutdownFormats();

}  // namespace qel
