// The keys and default values of a Registry as a plain value, with the text form in
// which the file-backed store keeps them:
//
//   ; qel Image Tool keys 1
//   [software\classes\*\shell\Name]
//   @="Open with it"
//
// The first line names the format. Each "[key]" line opens a key; an "@=" line that
// follows sets its default value, a double-quoted text in which \\, \", \n, \r, \t and
// \xHH stand for the character. Blank lines and lines starting with ';' are skipped.
// A key without a value is written only when it has no subkeys (parents come back
// from their children).
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace qel {

inline constexpr std::string_view kKeyStoreSignature = "; qel Image Tool keys 1";
// A store file larger than this is not read.
inline constexpr std::size_t kMaxKeyStoreSize = std::size_t(1) << 20;

class KeyStore {
 public:
  // The key written the way the store keeps it (parts separated by one backslash), or
  // nullopt for a name that is no key: empty, with an empty part, or with a control
  // character.
  static std::optional<std::string> CanonicalKey(std::string_view key);

  // The store a text describes; nullopt when the text is damaged in any way.
  static std::optional<KeyStore> Parse(std::string_view text);
  std::string Serialize() const;

  bool KeyExists(std::string_view key) const;
  bool CreateKey(std::string_view key);
  bool WriteDefaultValue(std::string_view key, std::string_view value);
  std::optional<std::string> ReadDefaultValue(std::string_view key) const;
  bool DeleteKey(std::string_view key);

  std::size_t KeyCount() const { return keys_.size(); }

 private:
  // Orders key names without regard to the case of ASCII letters.
  struct NoCaseLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };
  // Key name as first created -> default value.
  std::map<std::string, std::optional<std::string>, NoCaseLess> keys_;
};

}  // namespace qel
