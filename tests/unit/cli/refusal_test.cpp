// qel-convert on files that hold no picture of the format their name says: under every
// extension it reads, noise, an empty file and headers that give no size end with a
// message and exit status 1, and nothing is written.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace qel {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// The extensions of the "Winners:" part of --formats.
std::vector<std::string> ReadableExtensions() {
  std::string listing;
  EXPECT_EQ(test::RunCommand(test::ShellQuote(test::ConvertTool().string()) + " --formats", &listing), 0);
  std::vector<std::string> extensions;
  std::istringstream in(listing);
  bool winners = false;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("Winners:", 0) == 0) {
      winners = true;
    } else if (winners && line.rfind("  ", 0) == 0) {
      extensions.push_back(line.substr(2, line.find('\t') - 2));
    } else if (winners) {
      break;
    }
  }
  return extensions;
}

Bytes Noise(std::size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes bytes(size);
  for (auto& b : bytes) b = std::uint8_t(rng());
  return bytes;
}

Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

TEST(ConvertRefuses, FilesWithoutAPictureUnderEveryReadableExtension) {
  const std::vector<std::string> extensions = ReadableExtensions();
  ASSERT_GE(extensions.size(), 40u);
  struct Content {
    std::string name;
    Bytes bytes;
    std::string only_extension;  // "" for every extension
  };
  std::vector<Content> contents = {{"empty", {}, ""},
                                   {"short noise", Noise(100, 1), ""},
                                   {"noise", Noise(3000, 2), ""},
                                   {"long noise", Noise(70000, 3), ""}};
  // Headers that fit their format but give a width or height of 0.
  Bytes tga(18 + 30, 0);
  tga[2] = 2, tga[12] = 5, tga[16] = 24;  // 5 x 0, true colour
  Bytes sgi(512 + 30, 0);
  sgi[0] = 0x01, sgi[1] = 0xDA, sgi[3] = 1, sgi[5] = 2, sgi[7] = 4, sgi[11] = 3;  // 4 x 0
  Bytes psd = Text("8BPS");
  psd.insert(psd.end(), {0, 1, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 4, 0, 8, 0, 3});  // 4 x 0 RGB
  psd.resize(psd.size() + 40, 0);
  Bytes gif = Text("GIF89a");
  Bytes no_image = gif;
  gif.insert(gif.end(), {0, 0, 0, 0, 0, 0, 0, ',', 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 2, 0x4C, 0x01, 0, ';'});
  no_image.insert(no_image.end(), {4, 0, 4, 0, 0, 0, 0, ';'});
  contents.insert(contents.end(), {{"zero-size map", Text("P6 0 3 255\n" + std::string(30, 'x')), "ppm"},
                                   {"zero-size bitmap", Text("P4 8 0\n" + std::string(30, 'x')), "pbm"},
                                   {"zero-size Targa", tga, "tga"},
                                   {"zero-size SGI", sgi, "sgi"},
                                   {"zero-size Photoshop", psd, "psd"},
                                   {"zero-size GIF", gif, "gif"},
                                   {"no image in GIF", no_image, "gif"}});

  test::TempDir dir;
  const std::string tool = test::ShellQuote(test::ConvertTool().string());
  for (const std::string& extension : extensions) {
    for (const Content& content : contents) {
      if (!content.only_extension.empty() && content.only_extension != extension) continue;
      // PNG and GIF have two readers: the libraries' and the tool's own.
      for (const char* reader : {"", " --reader import"}) {
        if (*reader && extension != "png" && extension != "gif") continue;
        SCOPED_TRACE(content.name + " as ." + extension + reader);
        const fs::path input = dir / ("in." + extension);
        test::WriteFileBytes(input, content.bytes);
        std::string output;
        const int status = test::RunCommand(tool + reader + " " + test::ShellQuote(input.string()) + " " +
                                                test::ShellQuote((dir / "out.bmp").string()) + " 2>&1",
                                            &output);
        EXPECT_EQ(status, 1) << output;
        EXPECT_FALSE(output.empty());
        EXPECT_FALSE(test::FileExists(dir / "out.bmp")) << output;
        fs::remove(dir / "out.bmp");
      }
    }
  }
}

}  // namespace
}  // namespace qel
