// The one writer of the system: saves a picture in the format its file name's
// extension names (the table of writer_table.h: .bmp, .jp2, .tga, .jpg and its other
// spellings .jpeg .jpe .jfif, .png, .gif, .emf, and .webp).
#pragma once

#include <string>

#include "imaging/picture.h"
#include "output/write_options.h"

namespace qel {

// The name itself when no file of that name exists, else the first free name of the
// series dir/photo[1].jpg, dir/photo[2].jpg, ... (an existing folder does not count).
std::string UniqueFileName(const std::string& name);

// Writes the picture and returns the file name used. An extension that no writer serves
// fails with EUnwritableExtension before anything is looked at or made; it names the
// extensions that are written. When overwrite is false a free name is chosen first.
// The file is written as ReplaceFile (base/file_replacement.h) writes it: a failed save
// (a full disk, an encoder's error) leaves any existing file as it was; a file replaced
// keeps its owner, mode and hard links; a file the user may not write is not replaced;
// a symbolic link keeps pointing to the file it names, which is the one written. Errors
// pass on with their message texts ("Cannot create file "%s". %s" with the full path
// when the file cannot be made); name_used (when given) holds the name that was
// attempted, also on failure.
std::string SavePictureFile(const std::string& name, const Picture& picture, bool overwrite,
                            std::string* name_used = nullptr);
// The same with the choices of the formats that take them (quality, lossless).
std::string SavePictureFile(const std::string& name, const Picture& picture, bool overwrite,
                            const WriteOptions& options, std::string* name_used = nullptr);

}  // namespace qel
