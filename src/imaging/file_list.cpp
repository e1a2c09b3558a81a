#include "imaging/file_list.h"

#include <filesystem>
#include <system_error>

#include "imaging/natural_order.h"
#include "imaging/picture_container.h"

namespace qel {

bool ContainsNoCase(std::string_view needle, std::string_view haystack) {
  if (needle.empty()) return false;
  return LowerCase(haystack).find(LowerCase(needle)) != std::string::npos;
}

bool IsFolder(const std::string& path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (error || status.type() == std::filesystem::file_type::not_found) return true;
  return status.type() == std::filesystem::file_type::directory;
}

void AddPath(std::vector<std::string>& list, const std::string& path, std::string_view filter_text) {
  if (IsFolder(path)) {
    AddFolder(list, path, filter_text);
    return;
  }
  if (ContainsNoCase(ExtractFileExt(path), filter_text)) list.push_back(path);
}

void AddFolder(std::vector<std::string>& list, const std::string& folder, std::string_view filter_text) {
  std::error_code error;
  std::filesystem::directory_iterator it(folder, error);
  if (error) return;
  std::string prefix = folder;
  if (prefix.empty() || prefix.back() != '/') prefix += '/';
  const std::size_t first = list.size();
  for (const std::filesystem::directory_iterator end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.empty() || name.front() == '.') continue;
    const std::string path = prefix + name;
    if (!IsFolder(path)) AddPath(list, path, filter_text);
  }
  SortNaturally(list, first);
}

}  // namespace qel
