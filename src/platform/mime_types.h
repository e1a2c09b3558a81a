// Which desktop media type (MIME type) a picture file's extension stands for.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qel {

// The media type the desktop's shared database gives files of that extension (with or
// without the dot, any case); empty when the desktop knows no picture type for it.
std::string_view MimeTypeOfExtension(std::string_view extension);

// The media types of the extensions, each once, in the order first met; extensions
// the desktop knows no type for are left out.
std::vector<std::string> MimeTypesOfExtensions(const std::vector<std::string>& extensions);

}  // namespace qel
