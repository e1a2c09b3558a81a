// What "cmake --install" puts under a prefix: both programs, runnable from there, and
// the viewer's desktop entry and icon.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "support/test_support.h"

namespace qel {
namespace {

namespace fs = std::filesystem;
using test::RunCommand;
using test::ShellQuote;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(Install, PrefixHoldsRunnableProgramsAndTheDesktopEntry) {
  QEL_SKIP_WITHOUT("desktop-file-validate", "convert");
  test::TempDir prefix;
  std::string output;
  ASSERT_EQ(RunCommand("cmake --install " + ShellQuote(test::BinaryDir().string()) + " --prefix " +
                           ShellQuote(prefix.Path().string()),
                       &output),
            0)
      << output;
  const fs::path bin = prefix / "bin";
  ASSERT_EQ(RunCommand(ShellQuote((bin / "qel-convert").string()) + " --version", &output), 0);
  EXPECT_TRUE(std::regex_match(output, std::regex("qel-convert [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << output;

  if (!test::FileExists(test::BinaryDir() / "qel-image-tool")) GTEST_SKIP() << "built without the viewer";
  ASSERT_EQ(RunCommand(ShellQuote((bin / "qel-image-tool").string()) + " --version", &output), 0);
  EXPECT_TRUE(std::regex_match(output, std::regex("qel-image-tool [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << output;
  // The viewer starts without a display and is still running when stopped (124).
  EXPECT_EQ(RunCommand("QT_QPA_PLATFORM=offscreen timeout 2 " + ShellQuote((bin / "qel-image-tool").string()),
                       &output),
            124)
      << output;

  const fs::path entry = prefix / "share" / "applications" / "qel-image-tool.desktop";
  const std::string text = ReadText(entry);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(RunCommand("desktop-file-validate " + ShellQuote(entry.string()), &output), 0) << output;
  EXPECT_TRUE(output.empty()) << output;  // no warnings either
  for (const char* line : {"\nType=Application\n", "\nName=qel Image Tool\n", "\nExec=qel-image-tool %f\n",
                           "\nIcon=qel-image-tool\n", "\nCategories=Graphics;Viewer;\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line;
  }
  // A type for each of a sample of the formats read, the side formats' among them.
  std::smatch types;
  ASSERT_TRUE(std::regex_search(text, types, std::regex("\nMimeType=([^\n]*);\n")));
  std::string listed(1, ';');
  listed += types[1].str();
  listed += ';';
  for (const char* type :
       {"image/jpeg", "image/png", "image/gif", "image/bmp", "image/tiff", "image/x-tga", "image/jp2",
        "image/vnd.zbrush.pcx", "image/x-portable-pixmap", "image/vnd.adobe.photoshop"}) {
    std::string wanted(1, ';');
    wanted += type;
    wanted += ';';
    EXPECT_NE(listed.find(wanted), std::string::npos) << type;
  }
  // The icon is an SVG picture that renders.
  const fs::path icon = prefix / "share" / "icons" / "hicolor" / "scalable" / "apps" / "qel-image-tool.svg";
  ASSERT_TRUE(test::FileExists(icon));
  EXPECT_EQ(
      RunCommand("/usr/bin/convert -background none " + ShellQuote(icon.string()) + " -format %wx%h info:",
                 &output),
      0)
      << output;
  EXPECT_EQ(output, "64x64");
}

}  // namespace
}  // namespace qel
