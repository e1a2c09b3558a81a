#include "options/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <cctype>
#include <limits>

#include "base/paths.h"
#include "platform/xdg_paths.h"

namespace qel {

namespace {

char LowerAscii(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool SameNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

std::string_view Trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// The section name of a header line "[name]", or nullopt for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
  line = Trimmed(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  const std::size_t close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trimmed(line.substr(1, close - 1));
}

// The key of a "key=value" line, or nullopt for a line without an equals sign.
std::optional<std::string_view> KeyName(std::string_view line) {
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return Trimmed(line.substr(0, equals));
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::int32_t> ParseHex(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : digits) {
    const int digit = HexDigit(c);
    if (digit < 0) return std::nullopt;
    value = value * 16 + std::uint64_t(digit);
    if (value > 0xFFFFFFFFull) return std::nullopt;
  }
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

std::optional<std::int32_t> ParseDecimal(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
    return std::nullopt;
  return static_cast<std::int32_t>(value);
}

}  // namespace

std::string SettingsFilePath(const std::string& executable_path) {
  const std::size_t slash = executable_path.find_last_of('/');
  const std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = executable_path.find_last_of('.');
  if (dot == std::string::npos || dot < name_start) return executable_path + ".dat";
  return executable_path.substr(0, dot) + ".dat";
}

bool IsInstalledCopy(const std::string& executable_path) {
  const std::string folder = FolderOf(executable_path);
  if (NameOf(folder) == "bin") return true;
  // Judged by the mode as well as by the kernel's answer, which is always yes for the
  // superuser.
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return true;
  return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0;
}

SettingsLocation FindSettingsLocation(const std::string& executable_path) {
  const std::string beside = SettingsFilePath(executable_path);
  if (!IsInstalledCopy(executable_path)) return {beside, false};
  const std::string config = ConfigHome();
  if (config.empty()) return {beside, false};
  return {config + (config.back() == '/' ? "" : "/") + kConfigSettingsName, true};
}

bool IsUsbPath(const std::string& executable_path) {
  std::string lower(executable_path.size(), '\0');
  std::transform(executable_path.begin(), executable_path.end(), lower.begin(), LowerAscii);
  return lower.find("usb") != std::string::npos;
}

std::optional<std::int32_t> ParseIniInteger(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    return ParseHex(text.substr(2));
  if (!text.empty() && text[0] == '$') return ParseHex(text.substr(1));
  return ParseDecimal(text);
}

TIniFile::TIniFile(std::string path) : path_(std::move(path)) {
  QFile file(QFile::decodeName(path_.c_str()));
  if (!file.exists()) return;
  if (QFileInfo(file).isDir() || !file.open(QIODevice::ReadOnly) || file.size() > kMaxFileSize) {
    readable_ = false;
    return;
  }
  // Read in pieces until the end, or until the file (which may have grown since its
  // size was taken) is past the limit; a single read of the limit would take 16 MB.
  QByteArray bytes;
  while (bytes.size() <= kMaxFileSize) {
    const QByteArray piece = file.read(64 * 1024);
    if (piece.isEmpty()) break;
    bytes += piece;
  }
  if (bytes.size() > kMaxFileSize || file.error() != QFileDevice::NoError) {
    readable_ = false;
    return;
  }
  const std::string_view text(bytes.constData(), std::size_t(bytes.size()));
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t newline = text.find('\n', start);
    if (newline == std::string_view::npos) {
      lines_.push_back({std::string(text.substr(start)), std::string()});
      break;
    }
    std::string_view body = text.substr(start, newline - start);
    const bool crlf = !body.empty() && body.back() == '\r';
    if (crlf) body.remove_suffix(1);
    lines_.push_back({std::string(body), std::string(crlf ? "\r\n" : "\n")});
    start = newline + 1;
  }
}

std::optional<TIniFile::Span> TIniFile::FindSection(std::string_view section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const std::optional<std::string_view> name = SectionName(lines_[i].text);
    if (!name || !SameNoCase(*name, section)) continue;
    std::size_t end = i + 1;
    while (end < lines_.size() && !SectionName(lines_[end].text)) ++end;
    return Span{i, end};
  }
  return std::nullopt;
}

std::optional<std::size_t> TIniFile::FindKey(const Span& span, std::string_view key) const {
  for (std::size_t i = span.header + 1; i < span.end; ++i) {
    const std::optional<std::string_view> name = KeyName(lines_[i].text);
    if (name && SameNoCase(*name, key)) return i;
  }
  return std::nullopt;
}

std::optional<std::string> TIniFile::ReadString(std::string_view section, std::string_view key) const {
  const std::optional<Span> span = FindSection(section);
  if (!span) return std::nullopt;
  const std::optional<std::size_t> line = FindKey(*span, key);
  if (!line) return std::nullopt;
  const std::string& text = lines_[*line].text;
  std::string_view value = Trimmed(std::string_view(text).substr(text.find('=') + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return std::string(value.substr(0, kMaxValueLength));
}

std::int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key,
                                   std::int32_t fallback) const {
  const std::optional<std::string> text = ReadString(section, key);
  if (!text) return fallback;
  return ParseIniInteger(*text).value_or(fallback);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool fallback) const {
  return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

std::string TIniFile::NewLineEnd() const {
  // New lines follow the file's own convention.
  return !lines_.empty() && lines_.front().end == "\r\n" ? "\r\n" : "\n";
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  std::string line;
  line.reserve(key.size() + 1 + value.size());
  line.append(key).append("=").append(value);
  const std::optional<Span> span = FindSection(section);
  if (!span) {
    if (!lines_.empty() && lines_.back().end.empty()) lines_.back().end = NewLineEnd();
    std::string header = "[";
    header.append(section).append("]");
    const std::string end = NewLineEnd();
    lines_.push_back({std::move(header), end});
    lines_.push_back({std::move(line), end});
    return;
  }
  if (const std::optional<std::size_t> at = FindKey(*span, key)) {
    lines_[*at].text = std::move(line);
    return;
  }
  // After the section's last line that is not blank, so that blank lines before the
  // next section stay where they are.
  std::size_t at = span->end;
  while (at > span->header + 1 && Trimmed(lines_[at - 1].text).empty()) --at;
  if (lines_[at - 1].end.empty()) lines_[at - 1].end = NewLineEnd();
  lines_.insert(lines_.begin() + std::ptrdiff_t(at), Line{std::move(line), NewLineEnd()});
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

std::string TIniFile::Text() const {
  std::string text;
  for (const Line& line : lines_) text.append(line.text).append(line.end);
  return text;
}

void TIniFile::UpdateFile() const {
  const EIniFileError failure(FormatMessage("Unable to write to %s", {path_}));
  if (!readable_) throw failure;
  const std::string text = Text();
  QSaveFile file(QFile::decodeName(path_.c_str()));
  if (!file.open(QIODevice::WriteOnly)) throw failure;
  if (file.write(text.data(), qint64(text.size())) != qint64(text.size()) || !file.commit()) {
    file.cancelWriting();
    throw failure;
  }
}

}  // namespace qel
