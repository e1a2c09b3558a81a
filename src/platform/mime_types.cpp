#include "platform/mime_types.h"

#include <algorithm>

#include "import/framework/format_manifest.h"

namespace qel {

// The types are those of the format manifest: the shared MIME database's type for each
// extension the viewer reads, none for the formats the database has no type for.
std::string_view MimeTypeOfExtension(std::string_view extension) {
  if (extension.starts_with('.')) extension.remove_prefix(1);
  std::string lower(extension);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return char(c >= 'A' && c <= 'Z' ? c + 32 : c); });
  for (const FormatRow& row : FormatManifest()) {
    if (row.extension == lower && row.mime_type) return row.mime_type;
  }
  return {};
}

std::vector<std::string> MimeTypesOfExtensions(const std::vector<std::string>& extensions) {
  std::vector<std::string> types;
  for (const std::string& extension : extensions) {
    const std::string_view type = MimeTypeOfExtension(extension);
    if (type.empty() || std::find(types.begin(), types.end(), type) != types.end()) continue;
    types.emplace_back(type);
  }
  return types;
}

}  // namespace qel
