// The one writer of the system: saves a picture in the format its file name's
// extension names (the table of writer_table.h: .bmp, .jp2, .tga, .jpg and its other
// spellings .jpeg .jpe .jfif, .png, .gif, .emf, and .webp).
#pragma once

#include <string>

#include "base/new_file.h"
#include "imaging/picture.h"
#include "output/write_options.h"

namespace qel {

// The name itself when no file of that name exists, else the first free name of the
// series dir/photo[1].jpg, dir/photo[2].jpg, ... (an existing folder does not count).
std::string UniqueFileName(const std::string& name);
// Member n of that series: the name itself for 0, else dir/photo[n].jpg.
std::string NumberedFileName(const std::string& name, unsigned n);

// Writes the picture and returns the file name used. An extension that no writer serves
// fails with EUnwritableExtension before anything is looked at or made; it names the
// extensions that are written.
// When overwrite is false the picture goes to the first free name (UniqueFileName's),
// taken when the file is complete in a step that never replaces anything: a file that
// took the name meanwhile (another program saving to it, say) stays, and the next name
// of the series is taken (base/new_file.h).
// When overwrite is true the file is written as ReplaceFile (base/file_replacement.h)
// writes it: a failed save (a full disk, an encoder's error) leaves any existing file as
// it was; a file replaced keeps its owner, mode and hard links; a file the user may not
// write is not replaced.
// Either way a symbolic link keeps pointing to the file it names, which is the one
// written, and a link that leads to no file or round in a loop is refused. Errors pass
// on with their message texts ("Cannot create file "%s". %s" when the file cannot be
// made, "Cannot write file "%s". %s" when it cannot be written, both with the full
// path); name_used (when given) holds the name that was attempted, also on failure.
std::string SavePictureFile(const std::string& name, const Picture& picture, bool overwrite,
                            std::string* name_used = nullptr);
// The same with the choices of the formats that take them (quality, lossless).
std::string SavePictureFile(const std::string& name, const Picture& picture, bool overwrite,
                            const WriteOptions& options, std::string* name_used = nullptr);

// Writes the picture as a new file under the first of the names that is free
// (WriteNewFile), in the format of names.at(0)'s extension; returns the name taken.
std::string SaveNewPictureFile(const NewFileNames& names, const Picture& picture, const WriteOptions& options,
                               std::string* name_used = nullptr);

}  // namespace qel
