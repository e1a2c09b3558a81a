// Holding a file name before the file's content exists: an empty file made under a
// name nobody had (exclusive creation), which the content written later replaces.
#pragma once

#include <optional>
#include <string>

namespace qel {

// An empty file that holds its name for the content to come; removed again when it goes
// out of scope, unless Keep() was called (the content took its place).
class ClaimedFile {
 public:
  // The claimed file, or nullopt when a file (or anything else) has the name already.
  // Other failures throw EFCreateError "Cannot create file "%s". %s".
  static std::optional<ClaimedFile> Claim(const std::string& path);

  ~ClaimedFile();
  ClaimedFile(ClaimedFile&& other) noexcept;
  ClaimedFile& operator=(ClaimedFile&&) = delete;
  ClaimedFile(const ClaimedFile&) = delete;
  ClaimedFile& operator=(const ClaimedFile&) = delete;

  const std::string& Path() const { return path_; }
  void Keep() { kept_ = true; }

 private:
  explicit ClaimedFile(std::string path) : path_(std::move(path)) {}

  std::string path_;
  bool kept_ = false;
};

}  // namespace qel
