// Build step: fills a template's @MIME_TYPES@ with the media types of every extension
// the viewer reads (the same list its "Open with" entry offers), as the desktop entry
// lists them ("image/png;image/gif;") or as the AppStream metainfo does (one
// <mediatype> element a line, indented like the placeholder).
//   write_media_types desktop|metainfo TEMPLATE OUTPUT
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

#include "app/context_menu.h"
#include "import/framework/format_registry.h"
#include "platform/mime_types.h"

namespace {

constexpr std::string_view kPlaceholder = "@MIME_TYPES@";

std::string DesktopList(const std::vector<std::string>& types) {
  std::string list;
  for (const std::string& type : types) list += type + ";";
  return list;
}

std::string MetainfoList(const std::vector<std::string>& types, std::string_view indent) {
  std::string list;
  for (const std::string& type : types) {
    if (!list.empty()) list.append("\n").append(indent);
    list += "<mediatype>" + type + "</mediatype>";
  }
  return list;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view form = argc == 4 ? argv[1] : "";
  if (form != "desktop" && form != "metainfo") {
    std::cerr << "usage: write_media_types desktop|metainfo TEMPLATE OUTPUT\n";
    return 2;
  }
  std::ifstream in(argv[2], std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  if (!in) {
    std::cerr << "write_media_types: cannot read " << argv[2] << "\n";
    return 1;
  }
  qel::RegisterStartupFormats();
  const std::vector<std::string> types = qel::MimeTypesOfExtensions(qel::ReadableExtensions());

  std::string content = text.str();
  const std::size_t at = content.find(kPlaceholder);
  if (at == std::string::npos || types.empty()) {
    std::cerr << "write_media_types: no " << kPlaceholder << " in the template, or no media types\n";
    return 1;
  }
  const std::size_t line_start = content.rfind('\n', at) + 1;  // 0 when on the first line
  const std::string indent = content.substr(line_start, at - line_start);
  content.replace(at, kPlaceholder.size(),
                  form == "desktop" ? DesktopList(types) : MetainfoList(types, indent));
  std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
  out << content;
  out.close();
  if (!out) {
    std::cerr << "write_media_types: cannot write " << argv[3] << "\n";
    return 1;
  }
  return 0;
}
