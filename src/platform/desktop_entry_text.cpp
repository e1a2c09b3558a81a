#include "platform/desktop_entry_text.h"

#include <cstdint>

namespace qel {

namespace {

bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      code = lead & 0x07;
    } else {
      return false;
    }
    if (text.size() - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = code << 6 | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past the last code point.
    if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) || code > 0x10FFFF ||
        (code >= 0xD800 && code <= 0xDFFF))
      return false;
    i += length;
  }
  return true;
}

bool HasControlCharacter(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return true;
  }
  return false;
}

bool Writable(std::string_view text) {
  return IsValidUtf8(text) && !HasControlCharacter(text);
}

// A string value: a backslash is written as two and a leading blank as \s (control
// characters, the other escapes, are refused).
std::string StringValue(std::string_view text) {
  std::string out;
  if (text.starts_with(' ')) {
    out += "\\s";
    text.remove_prefix(1);
  }
  for (const char c : text) {
    if (c == '\\') out += '\\';
    out += c;
  }
  return out;
}

}  // namespace

std::optional<std::string> ExecArgument(std::string_view argument) {
  if (!Writable(argument)) return std::nullopt;
  std::string quoted = "\"";
  for (const char c : argument) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    if (c == '%') quoted += '%';
    quoted += c;
  }
  quoted += '"';
  return StringValue(quoted);
}

std::optional<std::string> OpenWithDesktopEntry(std::string_view name, std::string_view executable,
                                                const std::vector<std::string>& mime_types) {
  const std::optional<std::string> program = ExecArgument(executable);
  if (!program || !Writable(name) || name.empty()) return std::nullopt;
  std::string text = "[Desktop Entry]\n";
  text += "Type=Application\n";
  text += "Name=" + StringValue(name) + "\n";
  text += "Exec=" + *program + " %f\n";
  text += "NoDisplay=true\n";
  text += "Terminal=false\n";
  std::string types;
  for (const std::string& type : mime_types) {
    if (type.empty() || !Writable(type) || type.find(';') != std::string::npos) continue;
    types += StringValue(type) + ';';
  }
  if (!types.empty()) text += "MimeType=" + types + "\n";
  return text;
}

}  // namespace qel
