#include "cli/batch_plan.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <system_error>

#include "imaging/file_list.h"
#include "imaging/picture_container.h"
#include "output/writer_table.h"

namespace qel::cli {

namespace {

// Entries directly inside a folder, hidden ones and subfolders included.
int CountEntries(const std::string& folder) {
  std::error_code error;
  std::filesystem::directory_iterator it(folder, error);
  int count = 0;
  for (const std::filesystem::directory_iterator end; !error && it != end; it.increment(error)) ++count;
  return count;
}

// Something other than an empty regular file: such a file is the name taken by a batch
// that was killed before it wrote the picture, and is written over.
bool SomethingAt(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && !(S_ISREG(st.st_mode) && st.st_size == 0);
}

// The file name without its extension.
std::string BaseName(const std::string& path) {
  const std::string name = ExtractFileName(path);
  return name.substr(0, name.size() - ExtractFileExt(name).size());
}

}  // namespace

std::string BatchExtension(std::string_view text) {
  std::string extension(text);
  if (!extension.starts_with('.')) extension.insert(0, 1, '.');
  if (FindWriter(extension)) return extension;
  throw std::invalid_argument("--to " + std::string(text) +
                              ": expected one of the extensions written: " + WritableExtensionList());
}

BatchInputs CollectBatchInputs(const std::vector<std::string>& paths, std::string_view filter_text) {
  BatchInputs inputs;
  for (const std::string& path : paths) {
    std::error_code error;
    if (!std::filesystem::is_directory(path, error)) {
      inputs.files.push_back(path);
      continue;
    }
    const std::size_t before = inputs.files.size();
    AddFolder(inputs.files, path, filter_text);
    const int taken = int(inputs.files.size() - before);
    inputs.skipped += std::max(0, CountEntries(path) - taken);
  }
  return inputs;
}

std::string OutputName::Path() const {
  return PathWith(number);
}

std::string OutputName::PathWith(unsigned n) const {
  if (n == 0) return stem + extension;
  return stem + "[" + std::to_string(n) + "]" + extension;
}

std::string PathKey(const std::string& path) {
  std::error_code error;
  std::filesystem::path key =
      std::filesystem::weakly_canonical(std::filesystem::absolute(path, error), error);
  return error ? path : key.string();
}

std::vector<OutputName> PlanOutputNames(const std::vector<std::string>& inputs, const std::string& folder,
                                        const std::string& extension, bool overwrite) {
  // How often each input path occurs: a name may be its own input's, never another's.
  std::map<std::string, int> input_keys;
  std::vector<std::string> own_keys;
  own_keys.reserve(inputs.size());
  for (const std::string& input : inputs) {
    own_keys.push_back(PathKey(input));
    ++input_keys[own_keys.back()];
  }
  std::string prefix = folder;
  if (prefix.empty() || prefix.back() != '/') prefix += '/';

  std::set<std::string> planned;
  // Where the search of a series goes on: every member before it is taken for every input.
  std::map<std::string, unsigned> next_number;
  std::vector<OutputName> names;
  names.reserve(inputs.size());
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    OutputName name{prefix + BaseName(inputs[i]), extension, 0};
    unsigned& start = next_number[name.stem];
    // The first member skipped only as another input's path: that input may take it.
    std::optional<unsigned> open_to_others;
    for (name.number = start;; ++name.number) {
      const std::string path = name.Path();
      const std::string key = PathKey(path);
      if (planned.count(key)) continue;
      if (!overwrite && SomethingAt(path)) continue;
      const auto input = input_keys.find(key);
      if (input != input_keys.end() && (key != own_keys[i] || input->second > 1)) {
        if (!open_to_others) open_to_others = name.number;
        continue;
      }
      break;
    }
    start = open_to_others ? *open_to_others : name.number + 1;
    planned.insert(PathKey(name.Path()));
    names.push_back(std::move(name));
  }
  return names;
}

}  // namespace qel::cli
