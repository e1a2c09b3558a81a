// Helpers of the tests of the readers over decoding libraries (WebP, AVIF, HEIF, JPEG XL,
// camera raw, SVG): source pictures the encoders of those libraries' Debian packages
// take, and one table-driven check of their files against the source.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "imaging/errors.h"
#include "imaging/picture_container.h"
#include "import/framework/format_registry.h"
#include "output/save_picture_file.h"
#include "support/test_support.h"

namespace qel::test {

// A picture without edges, so that a lossy codec's error stays small everywhere.
inline Picture SmoothPicture(int width, int height) {
  Picture picture = NewPicture(width, height, kNoColor);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      picture.SetPixel(
          x, y, RGBColor(std::uint8_t(40 + x * 180 / width), std::uint8_t(30 + y * 190 / height), 140));
  return picture;
}

// The source files of the encoders, in a folder: "opaque.png" (8-bit RGB), "alpha.png"
// (the same with alpha falling from opaque at the top to clear at the bottom) and
// "deep.png" (16 bits a sample) and "grey.png" (8-bit grey), with what each shows over
// white.
struct SourcePictures {
  TempDir dir;
  std::map<std::string, Picture> shown;

  SourcePictures() {
    SavePictureFile((dir / "opaque.png").string(), SmoothPicture(64, 48), true);
    const std::string opaque = ShellQuote((dir / "opaque.png").string());
    EXPECT_EQ(RunCommand("/usr/bin/convert " + opaque +
                         " \\( -size 64x48 gradient:white-black \\) -alpha off "
                         "-compose CopyOpacity -composite PNG32:" +
                         ShellQuote((dir / "alpha.png").string())),
              0);
    EXPECT_EQ(RunCommand("/usr/bin/convert " + opaque +
                         " -depth 16 PNG48:" + ShellQuote((dir / "deep.png").string())),
              0);
    EXPECT_EQ(
        RunCommand("/usr/bin/convert " + opaque + " -colorspace Gray -depth 8 -define png:color-type=0 PNG:" +
                   ShellQuote((dir / "grey.png").string())),
        0);
    for (const char* name : {"opaque", "alpha", "deep", "grey"}) {
      const auto picture = PillowDecode(dir / (std::string(name) + ".png"));
      EXPECT_TRUE(picture) << name;
      if (picture) shown[name] = *picture;
    }
  }
};

// A file an encoder makes of one of the sources, and how close its decode must come.
struct EncodedCase {
  const char* name;
  const char* source;   // "opaque", "alpha", "deep" or "grey"
  const char* command;  // the encoder, with IN and OUT in place of the paths
  int max_difference;   // 0 for a lossless coding
};

inline std::string Filled(std::string command, const std::string& in, const std::string& out) {
  command.replace(command.find("IN"), 2, ShellQuote(in));
  command.replace(command.find("OUT"), 3, ShellQuote(out));
  return command;
}

// The message of the error a load raises, "" when it loads.
inline std::string LoadError(const std::filesystem::path& path) {
  try {
    LoadPictureFile(path.string());
  } catch (const Error& e) {
    return e.what();
  }
  return "";
}

// Encodes each case, loads it as a file of the extension, and compares it with what the
// source shows over white. The file cut in half and the file with its first bytes
// overwritten are refused with "Cannot load image. ...".
inline void CheckEncodedCases(const std::string& extension, const std::vector<EncodedCase>& cases) {
  RegisterStartupFormats();
  SourcePictures sources;
  for (const EncodedCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::filesystem::path file = sources.dir / (std::string(c.name) + "." + extension);
    std::string log;
    ASSERT_EQ(RunCommand(
                  Filled(c.command, (sources.dir / (std::string(c.source) + ".png")).string(), file.string()),
                  &log),
              0)
        << log;
    const Picture decoded = LoadPictureFile(file.string());
    const PictureDifference difference = Compare(decoded, sources.shown[c.source]);
    EXPECT_TRUE(difference.same_size) << decoded.Width() << " x " << decoded.Height();
    EXPECT_LE(difference.max_channel_difference, c.max_difference) << difference.Describe();

    std::vector<std::uint8_t> bytes = ReadFileBytes(file);
    const std::filesystem::path damaged = sources.dir / ("damaged." + extension);
    WriteFileBytes(damaged, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + bytes.size() / 2));
    EXPECT_TRUE(LoadError(damaged).starts_with("Cannot load image.")) << LoadError(damaged);
    for (std::size_t i = 0; i < 24 && i < bytes.size(); ++i) bytes[i] = std::uint8_t(0x5A ^ i);
    WriteFileBytes(damaged, bytes);
    EXPECT_TRUE(LoadError(damaged).starts_with("Cannot load image.")) << LoadError(damaged);
  }
}

}  // namespace qel::test
