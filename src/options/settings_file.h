// The settings file: INI text in the user's configuration folder for an installed
// copy, beside the executable for a copy run from a folder of its own. Read and written
// key by key in memory; every line the program does not write stays exactly as it was.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/errors.h"

namespace qel {

// "Unable to write to %s" with the settings file's path.
class EIniFileError : public Error {
 public:
  using Error::Error;
};

// The executable's path with its extension (from the last dot of the last path
// element) replaced by ".dat"; appended when there is none.
std::string SettingsFilePath(const std::string& executable_path);

// The file name of the settings file in the user's configuration folder.
inline constexpr const char* kConfigSettingsName = "qel-image-tool/qel-image-tool.dat";

struct SettingsLocation {
  std::string path;
  bool in_config_folder = false;  // its folder is made when the file is first written
};

// Whether the executable is an installed copy rather than one run from a folder of its
// own: it sits in a "bin" folder (the programs' folder of every installation prefix:
// /usr/bin, /usr/local/bin, ~/.local/bin, /opt/NAME/bin), or its folder cannot be
// written, judged by the folder's mode as well (no write bit for anyone), so that the
// superuser is treated alike.
bool IsInstalledCopy(const std::string& executable_path);

// Where the options are kept: for an installed copy, kConfigSettingsName under the
// user's configuration folder ($XDG_CONFIG_HOME, else ~/.config); for a copy run from a
// folder of its own (a portable copy, a build folder), beside the executable
// (SettingsFilePath). An installed copy never writes beside its executable.
SettingsLocation FindSettingsLocation(const std::string& executable_path);

// True when "usb", in any letter case, occurs anywhere in the executable's path: the
// program then runs from a removable drive and keeps no settings file.
bool IsUsbPath(const std::string& executable_path);

// Reads an integer text: "0x"/"0X" followed by hexadecimal digits, or "$" followed by
// them, is hexadecimal (up to 32 bits, taken as a signed value); otherwise an optional
// sign and decimal digits that fit 32 bits. Anything else is no number.
std::optional<std::int32_t> ParseIniInteger(std::string_view text);

class TIniFile {
 public:
  // The longest value text that is read; longer values are cut.
  static constexpr std::size_t kMaxValueLength = 2047;
  // Files larger than this are not read (nor replaced: writing them fails).
  static constexpr std::int64_t kMaxFileSize = 16 << 20;

  // Reads the file. A missing file reads as an empty one; a file that cannot be read
  // reads as empty too, and cannot be written back (UpdateFile fails), so that it is
  // never replaced by one without its other lines.
  explicit TIniFile(std::string path);

  const std::string& FileName() const { return path_; }

  // The value of the key in the first section of that name, without the blanks around
  // it (and without one pair of enclosing quotes); nullopt when the section or key is
  // missing. Section and key names compare without regard to letter case.
  std::optional<std::string> ReadString(std::string_view section, std::string_view key) const;
  // The default when the key is missing or its text is no number.
  std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t fallback) const;
  // An integer: 0 is false, any other number true.
  bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;

  // Replaces the key's line, or adds one at the end of the section, or adds the section
  // at the end of the text. Nothing reaches the disk before UpdateFile.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  // Decimal.
  void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
  // "1" or "0".
  void WriteBool(std::string_view section, std::string_view key, bool value);

  // Writes the whole text to a temporary file beside the target and renames it over
  // the target, so that a failed write leaves the file as it was. Throws EIniFileError.
  void UpdateFile() const;

  // The text as it would be written.
  std::string Text() const;

 private:
  struct Line {
    std::string text;  // without its line end
    std::string end;   // "\n", "\r\n" or empty for a last line without one
  };
  struct Span {
    std::size_t header;  // the section's header line
    std::size_t end;     // one past its last line
  };

  std::optional<Span> FindSection(std::string_view section) const;
  std::optional<std::size_t> FindKey(const Span& span, std::string_view key) const;
  std::string NewLineEnd() const;

  std::string path_;
  std::vector<Line> lines_;
  bool readable_ = true;
};

}  // namespace qel
