// The settings file: INI text read line by line, keys read and written in memory, the
// text written back. Input: the file's text up to the first NUL byte, then writes, each
// a byte choosing section and key, a length byte and the value's bytes. A file read
// and written back without changes comes back byte for byte; a value written reads
// back as written, also after the file has been written and read again; and reading
// the options' keys from any text gives numbers or the defaults.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "options/settings_file.h"

namespace {

using qel::TIniFile;
using qel::fuzz::Require;

constexpr std::array<std::string_view, 3> kSections = {"Settings", "settings", "Other Section"};
constexpr std::array<std::string_view, 8> kKeys = {"FrameColor", "BorderColor", "BorderWidth", "Filter",
                                                   "Sharpen",    "OverWrite",   "sharpen",     "New Key"};

// A file of this process's own, removed at exit; in memory where the system has a
// folder for that, since every write is synced to the disk.
class SettingsBench {
 public:
  SettingsBench() {
    std::string pattern = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm/qel-fuzz-settings-XXXXXX"
                                                          : "/tmp/qel-fuzz-settings-XXXXXX";
    if (!::mkdtemp(pattern.data())) std::abort();
    folder_ = pattern;
  }
  ~SettingsBench() {
    std::remove(Path().c_str());
    ::rmdir(folder_.c_str());
  }
  std::string Path() const { return folder_ + "/qel-image-tool.dat"; }

 private:
  std::string folder_;
};

void WriteFile(const std::string& path, std::string_view text) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) std::abort();
  if (!text.empty() && std::fwrite(text.data(), 1, text.size(), file) != text.size()) std::abort();
  std::fclose(file);
}

// A value as the program writes them: no line breaks, no blanks or quotes at its ends.
std::string PlainValue(std::vector<std::uint8_t> bytes) {
  std::string value;
  for (std::uint8_t b : bytes) value += (b == '\n' || b == '\r' || b == '\0') ? '_' : char(b);
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t' || value.front() == '\v' ||
                            value.front() == '\f' || value.front() == '"' || value.front() == '\''))
    value.erase(0, 1);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\v' ||
                            value.back() == '\f' || value.back() == '"' || value.back() == '\''))
    value.pop_back();
  return value;
}

void ReadOptions(const TIniFile& file) {
  for (std::string_view key : kKeys) {
    (void)file.ReadInteger("Settings", key, 5);
    (void)file.ReadBool("Settings", key, true);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static SettingsBench bench;
  const std::uint8_t* nul = std::find(data, data + size, std::uint8_t{0});
  const std::string_view text(reinterpret_cast<const char*>(data), std::size_t(nul - data));
  WriteFile(bench.Path(), text);

  TIniFile file(bench.Path());
  Require(file.Text() == text);
  ReadOptions(file);
  // Numbers: whatever parses prints and parses back to itself.
  if (const std::optional<std::int32_t> number = qel::ParseIniInteger(text))
    Require(qel::ParseIniInteger(std::to_string(*number)) == number);

  const std::size_t writes_at = std::min(size, text.size() + 1);
  qel::fuzz::FuzzInput in(data + writes_at, size - writes_at);
  std::vector<std::array<std::string, 3>> written;  // section, key, value
  for (int writes = 0; writes < 16 && in.RestSize() > 0; ++writes) {
    const std::uint8_t choice = in.Byte();
    const std::string section(kSections[choice % kSections.size()]);
    const std::string key(kKeys[(choice / kSections.size()) % kKeys.size()]);
    const std::string value = PlainValue(in.Take(in.Byte()));
    file.WriteString(section, key, value);
    Require(file.ReadString(section, key) == value);
    written.push_back({section, key, value});
  }
  if (written.empty()) return 0;

  file.UpdateFile();
  const TIniFile again(bench.Path());
  Require(again.Text() == file.Text());
  // The last value written to each key is what the file holds.
  for (auto it = written.rbegin(); it != written.rend(); ++it) {
    bool later = false;
    for (auto newer = written.rbegin(); newer != it; ++newer) {
      const auto same = [](std::string_view a, std::string_view b) {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                 return std::tolower(static_cast<unsigned char>(x)) ==
                        std::tolower(static_cast<unsigned char>(y));
               });
      };
      later = later || (same((*newer)[0], (*it)[0]) && same((*newer)[1], (*it)[1]));
    }
    if (!later) Require(again.ReadString((*it)[0], (*it)[1]) == (*it)[2]);
  }
  ReadOptions(again);
  return 0;
}
