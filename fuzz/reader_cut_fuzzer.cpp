// Dr. Halo files with their companion palette. The reader finds the palette by the
// image's file name, so both are written to files and the image is loaded by name.
// Input: a u16 palette size (0 for no palette file), the palette file, then the image.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "reader_fuzz.h"

namespace {

// A folder of this process's own for the two files, removed at exit.
class FileBench {
 public:
  FileBench() {
    char pattern[] = "/tmp/qel-fuzz-cut-XXXXXX";
    if (!::mkdtemp(pattern)) std::abort();
    folder_ = pattern;
  }
  ~FileBench() {
    std::remove(Image().c_str());
    std::remove(Palette().c_str());
    ::rmdir(folder_.c_str());
  }
  std::string Image() const { return folder_ + "/picture.cut"; }
  std::string Palette() const { return folder_ + "/picture.pal"; }

 private:
  std::string folder_;
};

void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static FileBench bench;
  qel::fuzz::FuzzInput in(data, size);
  const std::size_t palette_size = in.U16();
  const std::vector<std::uint8_t> palette = in.Take(palette_size);
  std::remove(bench.Palette().c_str());
  if (palette_size > 0) WriteFile(bench.Palette(), palette.data(), palette.size());
  WriteFile(bench.Image(), in.Rest(), in.RestSize());
  qel::fuzz::CheckingObserver observer;
  try {
    qel::fuzz::CheckPicture(qel::LoadPictureFile(bench.Image(), &observer));
  } catch (const qel::Error&) {
  }
  return 0;
}
