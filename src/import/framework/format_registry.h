// Start-up and shutdown of the format tables: which class opens which extension.
#pragma once

#include "import/framework/file_format_list.h"

namespace qel {

// The import library's registry (it feeds the picture container's list).
TFileFormatList& GraphicFormatRegistry();

// Fills both tables in start-up order: the four platform entries, JPEG, the import
// library's forty registrations, PNG, JPEG 2000, GIF. Runs once; later calls do nothing.
void RegisterStartupFormats();

// Unregisters in the reverse of start-up order (what happens at program end).
void UnregisterShutdownFormats();

}  // namespace qel
