// Build step: writes the viewer's desktop entry from its template, with the media types
// of every extension the viewer reads (the same list its "Open with" entry offers).
//   make_desktop_entry TEMPLATE OUTPUT
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "app/context_menu.h"
#include "import/framework/format_registry.h"
#include "platform/mime_types.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make_desktop_entry TEMPLATE OUTPUT\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  if (!in) {
    std::cerr << "make_desktop_entry: cannot read " << argv[1] << "\n";
    return 1;
  }
  qel::RegisterStartupFormats();
  std::string types;
  for (const std::string& type : qel::MimeTypesOfExtensions(qel::ReadableExtensions())) types += type + ";";

  std::string entry = text.str();
  const std::string placeholder = "@MIME_TYPES@";
  const std::size_t at = entry.find(placeholder);
  if (at == std::string::npos || types.empty()) {
    std::cerr << "make_desktop_entry: no " << placeholder << " in the template, or no media types\n";
    return 1;
  }
  entry.replace(at, placeholder.size(), types);
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out << entry;
  out.close();
  if (!out) {
    std::cerr << "make_desktop_entry: cannot write " << argv[2] << "\n";
    return 1;
  }
  return 0;
}
