#include "platform/key_store.h"

#include <algorithm>
#include <vector>

namespace qel {

namespace {

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? char(c + 32) : c;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (LowerAscii(text[i]) != LowerAscii(prefix[i])) return false;
  }
  return true;
}

bool IsControl(unsigned char c) {
  return c < 0x20 || c == 0x7F;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string QuoteValue(std::string_view value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (IsControl(byte)) {
          out += "\\x";
          out += kHex[byte >> 4];
          out += kHex[byte & 15];
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

std::optional<std::string> UnquoteValue(std::string_view text) {
  if (text.size() < 2 || text.front() != '"' || text.back() != '"') return std::nullopt;
  text = text.substr(1, text.size() - 2);
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"' || IsControl(static_cast<unsigned char>(c))) return std::nullopt;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i == text.size()) return std::nullopt;
    switch (text[i]) {
      case '\\':
        out += '\\';
        break;
      case '"':
        out += '"';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case 'x': {
        if (i + 2 >= text.size()) return std::nullopt;
        const int high = HexDigit(text[i + 1]);
        const int low = HexDigit(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        out += char(high * 16 + low);
        i += 2;
        break;
      }
      default:
        return std::nullopt;
    }
  }
  return out;
}

}  // namespace

bool KeyStore::NoCaseLess::operator()(std::string_view a, std::string_view b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(LowerAscii(x)) < static_cast<unsigned char>(LowerAscii(y));
  });
}

std::optional<std::string> KeyStore::CanonicalKey(std::string_view key) {
  if (key.empty() || key.front() == '\\' || key.back() == '\\') return std::nullopt;
  if (key.find("\\\\") != std::string_view::npos) return std::nullopt;
  for (const char c : key) {
    if (IsControl(static_cast<unsigned char>(c))) return std::nullopt;
  }
  return std::string(key);
}

bool KeyStore::KeyExists(std::string_view key) const {
  const std::optional<std::string> name = CanonicalKey(key);
  return name && keys_.find(*name) != keys_.end();
}

bool KeyStore::CreateKey(std::string_view key) {
  const std::optional<std::string> name = CanonicalKey(key);
  if (!name) return false;
  // The parents first: every prefix that ends before a separator.
  for (std::size_t at = name->find('\\'); at != std::string::npos; at = name->find('\\', at + 1))
    keys_.try_emplace(name->substr(0, at));
  keys_.try_emplace(*name);
  return true;
}

bool KeyStore::WriteDefaultValue(std::string_view key, std::string_view value) {
  const std::optional<std::string> name = CanonicalKey(key);
  if (!name) return false;
  const auto it = keys_.find(*name);
  if (it == keys_.end()) return false;
  it->second = std::string(value);
  return true;
}

std::optional<std::string> KeyStore::ReadDefaultValue(std::string_view key) const {
  const std::optional<std::string> name = CanonicalKey(key);
  if (!name) return std::nullopt;
  const auto it = keys_.find(*name);
  return it == keys_.end() ? std::nullopt : it->second;
}

bool KeyStore::DeleteKey(std::string_view key) {
  const std::optional<std::string> name = CanonicalKey(key);
  if (!name || keys_.erase(*name) == 0) return false;
  const std::string prefix = *name + '\\';
  std::erase_if(keys_, [&](const auto& entry) { return StartsWithNoCase(entry.first, prefix); });
  return true;
}

std::string KeyStore::Serialize() const {
  std::string out(kKeyStoreSignature);
  out += '\n';
  for (const auto& [name, value] : keys_) {
    if (!value) {
      // A key with subkeys comes back from them.
      const std::string prefix = name + '\\';
      const auto next = keys_.lower_bound(prefix);
      if (next != keys_.end() && StartsWithNoCase(next->first, prefix)) continue;
    }
    out += '[' + name + "]\n";
    if (value) out += "@=" + QuoteValue(*value) + '\n';
  }
  return out;
}

std::optional<KeyStore> KeyStore::Parse(std::string_view text) {
  KeyStore store;
  std::optional<std::string> current;  // the key the next value belongs to
  bool first = true;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (first) {
      if (line != kKeyStoreSignature) return std::nullopt;
      first = false;
      continue;
    }
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      if (line.back() != ']') return std::nullopt;
      current = CanonicalKey(line.substr(1, line.size() - 2));
      if (!current || !store.CreateKey(*current)) return std::nullopt;
    } else if (line.starts_with("@=")) {
      if (!current) return std::nullopt;
      const std::optional<std::string> value = UnquoteValue(line.substr(2));
      if (!value) return std::nullopt;
      store.WriteDefaultValue(*current, *value);
    } else {
      return std::nullopt;
    }
  }
  if (first) return std::nullopt;
  return store;
}

}  // namespace qel
