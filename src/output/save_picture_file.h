// The one writer of the system: saves a picture in the format its file name's
// extension names (.bmp, .jp2, .tga, .jpg, .png, .gif, .emf).
#pragma once

#include <string>

#include "imaging/picture.h"

namespace qel {

// The name itself when no file of that name exists, else the first free name of the
// series dir/photo[1].jpg, dir/photo[2].jpg, ... (an existing folder does not count).
std::string UniqueFileName(const std::string& name);

// Writes the picture and returns the file name used. When overwrite is false a free
// name is chosen first. An extension that is none of the seven writes nothing (the
// name is still returned). The file is written to a temporary file beside the target,
// synced to the disk and renamed over the target only once complete: a failed save
// (a full disk, an encoder's error) leaves any existing file as it was and no
// temporary file behind. A file the user may not write is not replaced; a symbolic
// link keeps pointing to the file it names, which is the one replaced. Errors pass on
// with their message texts ("Cannot create file "%s". %s" with the full path when the
// file cannot be made); name_used (when given) holds the name that was attempted, also
// on failure.
std::string SavePictureFile(const std::string& name, const Picture& picture, bool overwrite,
                            std::string* name_used = nullptr);

}  // namespace qel
