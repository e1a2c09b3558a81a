#include "platform/mime_types.h"

#include <algorithm>
#include <array>
#include <utility>

namespace qel {

namespace {

// The types of the desktop's shared MIME database for the extensions the viewer reads.
// Formats the database has no type for (Dr. Halo, Autodesk, Alias/Wavefront, Paint
// Shop Pro, screen captures, GFI fax) are absent: no file manager would match them.
constexpr auto kMimeTypes = std::to_array<std::pair<std::string_view, std::string_view>>({
    {"bmp", "image/bmp"},
    {"dib", "image/bmp"},
    {"rle", "image/rle"},
    {"ico", "image/vnd.microsoft.icon"},
    {"wmf", "image/wmf"},
    {"emf", "image/emf"},
    {"jpg", "image/jpeg"},
    {"jpeg", "image/jpeg"},
    {"jpe", "image/jpeg"},
    {"jfif", "image/jpeg"},
    {"png", "image/png"},
    {"gif", "image/gif"},
    {"tif", "image/tiff"},
    {"tiff", "image/tiff"},
    {"tga", "image/x-tga"},
    {"vst", "image/x-tga"},
    {"vda", "image/x-tga"},
    {"icb", "image/x-tga"},
    {"win", "image/x-tga"},
    {"jp2", "image/jp2"},
    {"j2k", "image/x-jp2-codestream"},
    {"jpc", "image/x-jp2-codestream"},
    {"pcx", "image/vnd.zbrush.pcx"},
    {"pcc", "image/vnd.zbrush.pcx"},
    {"pbm", "image/x-portable-bitmap"},
    {"pgm", "image/x-portable-graymap"},
    {"ppm", "image/x-portable-pixmap"},
    {"sgi", "image/x-sgi"},
    {"rgb", "image/x-rgb"},
    {"rgba", "image/x-sgi"},
    {"bw", "image/x-sgi"},
    {"psd", "image/vnd.adobe.photoshop"},
    {"pdd", "image/vnd.adobe.photoshop"},
    {"pcd", "image/x-photo-cd"},
    {"eps", "image/x-eps"},
    // The formats read beyond the table of old.
    {"webp", "image/webp"},
    {"avif", "image/avif"},
    {"heic", "image/heic"},
    {"heif", "image/heif"},
    {"jxl", "image/jxl"},
    {"cr2", "image/x-canon-cr2"},
    {"nef", "image/x-nikon-nef"},
    {"arw", "image/x-sony-arw"},
    {"dng", "image/x-adobe-dng"},
    {"orf", "image/x-olympus-orf"},
    {"rw2", "image/x-panasonic-rw2"},
    {"raf", "image/x-fuji-raf"},
    {"pef", "image/x-pentax-pef"},
    {"svg", "image/svg+xml"},
});

}  // namespace

std::string_view MimeTypeOfExtension(std::string_view extension) {
  if (extension.starts_with('.')) extension.remove_prefix(1);
  std::string lower(extension);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return char(c >= 'A' && c <= 'Z' ? c + 32 : c); });
  for (const auto& [ext, type] : kMimeTypes) {
    if (ext == lower) return type;
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
