#include "platform/xdg_paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace qel {

namespace {

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

// The variable's value when it is an absolute path, else the fallback under home.
std::string BaseFolder(const char* variable, const char* under_home) {
  const std::string value = Variable(variable);
  if (!value.empty() && value.front() == '/') return value;
  const std::string home = HomeFolder();
  if (home.empty()) return {};
  return home + (home.back() == '/' ? "" : "/") + under_home;
}

}  // namespace

std::string HomeFolder() {
  std::string home = Variable("HOME");
  if (!home.empty()) return home;
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? std::size_t(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
    home = found->pw_dir;
  return home;
}

std::string ConfigHome() {
  return BaseFolder("XDG_CONFIG_HOME", ".config");
}

std::string DataHome() {
  return BaseFolder("XDG_DATA_HOME", ".local/share");
}

std::string TempFolder() {
  std::string folder = Variable("TMPDIR");
  if (folder.empty()) folder = "/tmp";
  if (folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace qel
