// How qel-convert reads an input file: the reader the container names for the file's
// extension, or the tool's own GIF and PNG readers when asked for.
#pragma once

#include <string>

#include "imaging/graphic.h"
#include "imaging/picture.h"

namespace qel::cli {

// The class that reads the file: the container's winner for its extension, or the
// import library's own reader for .gif and .png when import_reader is set. Fails with
// "Unknown picture file extension (.%s)" when no class claims the extension.
const GraphicClass& ReaderFor(const std::string& path, bool import_reader);

// Loads the file with ReaderFor's class; used (when given) receives that class.
Picture LoadInput(const std::string& path, bool import_reader, ProgressObserver* observer,
                  const GraphicClass** used = nullptr);

}  // namespace qel::cli
