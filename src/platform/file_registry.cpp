// The user's key store in one text file, rewritten through a temporary file.
#include <sys/stat.h>

#include <cstdio>
#include <exception>

#include "base/paths.h"
#include "platform/atomic_file.h"
#include "platform/key_store.h"
#include "platform/registry.h"
#include "platform/xdg_paths.h"

namespace qel {

namespace {

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

class FileRegistry final : public Registry {
 public:
  explicit FileRegistry(std::string path) : path_(std::move(path)) {}

  bool KeyExists(std::string_view key) const override {
    return Guard([&] { return Load().store.KeyExists(key); });
  }

  bool CreateKey(std::string_view key) override {
    return Change([&](KeyStore& store) {
      if (store.KeyExists(key)) return Edit::kUnchanged;
      return store.CreateKey(key) ? Edit::kChanged : Edit::kFailed;
    });
  }

  bool WriteDefaultValue(std::string_view key, std::string_view value) override {
    return Change([&](KeyStore& store) {
      return store.WriteDefaultValue(key, value) ? Edit::kChanged : Edit::kFailed;
    });
  }

  std::optional<std::string> ReadDefaultValue(std::string_view key) const override {
    try {
      return Load().store.ReadDefaultValue(key);
    } catch (const std::exception&) {
      return std::nullopt;
    }
  }

  bool DeleteKey(std::string_view key) override {
    return Change([&](KeyStore& store) { return store.DeleteKey(key) ? Edit::kChanged : Edit::kFailed; });
  }

 private:
  enum class Edit { kChanged, kUnchanged, kFailed };

  struct Loaded {
    KeyStore store;
    bool damaged = false;  // a file is there but it is no store: it reads as empty
  };

  Loaded Load() const {
    Loaded loaded;
    if (path_.empty()) return loaded;
    const SmallFile file = ReadSmallFile(path_, kMaxKeyStoreSize);
    if (file.outcome == ReadOutcome::kMissing) return loaded;
    std::optional<KeyStore> parsed;
    if (file.outcome == ReadOutcome::kRead) parsed = KeyStore::Parse(file.content);
    if (parsed) {
      loaded.store = std::move(*parsed);
    } else {
      loaded.damaged = true;
    }
    return loaded;
  }

  template <typename Editor>
  bool Change(Editor edit) {
    return Guard([&] {
      if (path_.empty()) return false;
      Loaded loaded = Load();
      const auto outcome = edit(loaded.store);
      if (outcome == Edit::kFailed) return false;
      if (outcome == Edit::kUnchanged) return true;
      if (!MakeFolders(FolderOf(path_), 0700)) return false;
      // A damaged file is kept beside the new one rather than lost.
      if (loaded.damaged && IsRegularFile(path_)) std::rename(path_.c_str(), (path_ + ".damaged").c_str());
      return WriteFileAtomically(path_, loaded.store.Serialize(), WriteMode::kReplace);
    });
  }

  template <typename Action>
  static bool Guard(Action action) {
    try {
      return action();
    } catch (const std::exception&) {
      return false;
    }
  }

  std::string path_;
};

}  // namespace

std::unique_ptr<Registry> MakeFileRegistry(std::string path) {
  return std::make_unique<FileRegistry>(std::move(path));
}

std::unique_ptr<Registry> MakeUserRegistry() {
  const std::string config = ConfigHome();
  return MakeFileRegistry(config.empty() ? std::string() : config + "/qel-image-tool/keys");
}

}  // namespace qel
