#include "support/peer_tools.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace qel::test {

namespace {

namespace fs = std::filesystem;

struct PeerTool {
  std::string_view name;
  std::string_view project;
  std::string_view program;  // what is looked for: a path, or a name on PATH
};

// The tools the tests run, with the project each comes from. "netpbm" stands for the
// whole set of netpbm's programs, which come together.
constexpr PeerTool kPeerTools[] = {
    {"convert", "ImageMagick", "/usr/bin/convert"},
    {"identify", "ImageMagick", "/usr/bin/identify"},
    {"python3", "Python 3", "/usr/bin/python3"},
    {"pillow", "Pillow", "PIL for /usr/bin/python3"},
    {"netpbm", "netpbm", "pamtopnm"},
    {"gm", "GraphicsMagick", "gm"},
    {"tiffcp", "libtiff-tools", "tiffcp"},
    {"tiffset", "libtiff-tools", "tiffset"},
    {"opj_compress", "OpenJPEG", "opj_compress"},
    {"opj_decompress", "OpenJPEG", "opj_decompress"},
    {"cwebp", "libwebp", "cwebp"},
    {"dwebp", "libwebp", "dwebp"},
    {"img2webp", "libwebp", "img2webp"},
    {"avifenc", "libavif", "avifenc"},
    {"heif-enc", "libheif", "heif-enc"},
    {"cjxl", "libjxl", "cjxl"},
    {"rsvg-convert", "librsvg", "rsvg-convert"},
    {"emf2svg-conv", "emf2svg", "/usr/bin/emf2svg-conv"},
    {"dbus-daemon", "D-Bus", "dbus-daemon"},
    {"desktop-file-validate", "desktop-file-utils", "desktop-file-validate"},
};

const PeerTool* Find(std::string_view name) {
  for (const PeerTool& tool : kPeerTools)
    if (tool.name == name) return &tool;
  return nullptr;
}

bool Hidden(std::string_view name) {
  const char* list = std::getenv("QEL_TEST_HIDE_TOOLS");
  std::string_view rest = list ? list : "";
  while (!rest.empty()) {
    const std::size_t comma = rest.find(',');
    if (rest.substr(0, comma) == name) return true;
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
  }
  return false;
}

bool Executable(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

bool OnPath(std::string_view name) {
  const char* path = std::getenv("PATH");
  std::string_view rest = path ? path : "";
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    const std::string_view folder = rest.substr(0, colon);
    if (!folder.empty() && Executable(fs::path(folder) / name)) return true;
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
  }
  return false;
}

// Pillow is there when /usr/bin/python3 imports it, quietly.
bool PillowImports() {
  const std::string command = "/usr/bin/python3 -c 'from PIL import Image' >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool Installed(std::string_view name, const PeerTool* tool) {
  if (Hidden(name)) return false;
  if (name == "pillow") return Installed("python3", Find("python3")) && PillowImports();
  const std::string_view program = tool ? tool->program : name;
  return program.starts_with('/') ? Executable(program) : OnPath(program);
}

// "ImageMagick (/usr/bin/convert)", "Pillow (PIL for /usr/bin/python3)", "netpbm".
std::string Describe(std::string_view name, const PeerTool* tool) {
  if (!tool) return std::string(name);
  if (tool->name == tool->project) return std::string(tool->project);
  return std::string(tool->project) + " (" + std::string(tool->program) + ")";
}

}  // namespace

std::string MissingTools(std::initializer_list<std::string_view> names) {
  std::vector<std::string> missing;
  for (std::string_view name : names) {
    const PeerTool* tool = Find(name);
    if (!Installed(name, tool)) missing.push_back(Describe(name, tool));
  }
  if (missing.empty()) return "";
  std::string reason;
  for (std::size_t i = 0; i < missing.size(); ++i) reason += (i ? ", " : "") + missing[i];
  return reason + (missing.size() == 1 ? " is not installed; scripts/install-deps.sh --test installs it"
                                       : " are not installed; scripts/install-deps.sh --test installs them");
}

}  // namespace qel::test
