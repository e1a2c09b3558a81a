// A per-user store of keys, each with an optional default text value. Key names are
// paths of parts separated by backslashes ("software\classes\*\shell\Name"); parts
// are compared without regard to case. Creating a key creates its missing parents.
// No operation throws: a store that cannot be read or written reports false.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qel {

class Registry {
 public:
  virtual ~Registry() = default;

  virtual bool KeyExists(std::string_view key) const = 0;
  // Opens the key, creating it (and its missing parents) when it does not exist.
  virtual bool CreateKey(std::string_view key) = 0;
  // Sets the default value of an existing key.
  virtual bool WriteDefaultValue(std::string_view key, std::string_view value) = 0;
  // The default value; nullopt when the key or its value does not exist.
  virtual std::optional<std::string> ReadDefaultValue(std::string_view key) const = 0;
  // Deletes the key together with all its subkeys; false when it did not exist.
  virtual bool DeleteKey(std::string_view key) = 0;
};

// The user's store: one file, $XDG_CONFIG_HOME/qel-image-tool/keys (by default under
// ~/.config), read anew by every operation and rewritten as a whole by every change.
std::unique_ptr<Registry> MakeUserRegistry();
// A store kept in the given file.
std::unique_ptr<Registry> MakeFileRegistry(std::string path);

}  // namespace qel
