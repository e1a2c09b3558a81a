// Helpers shared by the tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "imaging/picture.h"
#include "support/peer_tools.h"

namespace qel::test {

std::filesystem::path SourceDir();
std::filesystem::path BinaryDir();
// Real files from a peer project's test suite (tests/corpus/peer).
std::filesystem::path CorpusDir();
// Every corpus file whose extension (lower-cased, with dot) is one of exts, sorted.
std::vector<std::filesystem::path> CorpusFiles(std::initializer_list<const char*> exts);
// build/qel-convert
std::filesystem::path ConvertTool();

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Runs a shell command; returns its exit status (-1 when it could not run) and, when
// output is given, what it wrote on stdout and stderr together.
int RunCommand(const std::string& command, std::string* output = nullptr);
// Quotes a text for the shell.
std::string ShellQuote(const std::string& text);
bool FileExists(const std::filesystem::path& path);
std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

// Reads a binary PPM (P6, maximum value 255) into a picture; nullopt when it is not one.
std::optional<Picture> ReadPPMFile(const std::filesystem::path& path);
void WritePPMFile(const std::filesystem::path& path, const Picture& picture);

// Decodes a file with Pillow (/usr/bin/python3), composited onto white; nullopt when
// Pillow refuses the file. ignore_alpha drops alpha instead of compositing.
std::optional<Picture> PillowDecode(const std::filesystem::path& file, bool ignore_alpha = false);
// Decodes a file with a command that writes a PPM: the command gets the input and
// output paths appended (quoted). nullopt when the command fails.
std::optional<Picture> PeerDecode(const std::string& command_prefix, const std::filesystem::path& file);

struct PictureDifference {
  bool same_size = false;
  int max_channel_difference = 0;
  std::size_t differing_pixels = 0;
  int first_x = -1, first_y = -1;
  std::string Describe() const;
};
PictureDifference Compare(const Picture& a, const Picture& b);

// A picture from rows of 0x00BBGGRR colours (all rows the same length).
Picture PictureFromColors(const std::vector<std::vector<TColor>>& rows);

// A picture of one row of grey pixels with the given levels (0..255).
Picture GreyRow(const std::vector<int>& levels);

}  // namespace qel::test
