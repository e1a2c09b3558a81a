// Helpers of the writer tests: pictures to write, a stream that fails, ImageMagick as a
// second peer decoder, and what a folder holds before and after a save.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "imaging/errors.h"
#include "imaging/picture.h"
#include "imaging/stream.h"
#include "support/test_support.h"

namespace qel::test {

// What a file stood as before a save that must leave it alone.
inline const std::vector<std::uint8_t> kOldBytes = {'o', 'l', 'd'};

// The names in a folder, sorted: a failed save leaves them as they were.
inline std::vector<std::string> FolderEntries(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Colours that compress badly: every byte from a seeded generator.
inline Picture NoisePicture(int width, int height, unsigned seed = 1) {
  std::mt19937 rng(seed);
  Picture picture = NewPicture(width, height, kNoColor);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) picture.SetPixel(x, y, rng() & 0xFFFFFF);
  return picture;
}

// ImageMagick's decode (alpha dropped: transparent pixels show their stored colour).
inline std::optional<Picture> MagickDecode(const std::filesystem::path& file) {
  return PeerDecode("sh -c '/usr/bin/convert \"$0\" -alpha off -depth 8 ppm:\"$1\"'", file);
}

// The alpha value Pillow gives pixel (x, y) of a file.
inline int PillowAlpha(const std::filesystem::path& file, int x, int y) {
  std::string out;
  RunCommand(
      "/usr/bin/python3 -c \"import sys; from PIL import Image; print(Image.open(sys.argv[1])"
      ".convert('RGBA').getpixel((" +
          std::to_string(x) + ", " + std::to_string(y) + "))[3])\" " + ShellQuote(file.string()),
      &out);
  return std::atoi(out.c_str());
}

// Takes the first `capacity` bytes, then refuses like a full disk.
class FailingStream : public TMemoryStream {
 public:
  explicit FailingStream(std::size_t capacity) : capacity_(capacity) {}
  void Write(const void* buffer, std::size_t count) override {
    if (written_ + count > capacity_) throw EWriteError("Stream write error: No space left on device");
    written_ += count;
    TMemoryStream::Write(buffer, count);
  }

 private:
  std::size_t capacity_;
  std::size_t written_ = 0;
};

}  // namespace qel::test
