// What "cmake --install" puts under a prefix: both programs, runnable from there, the
// viewer's desktop entry, icons and AppStream metainfo named by the application id, and
// the manual pages, each accepted by its validator.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

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

// Installs the build under a fresh prefix.
class Installed {
 public:
  Installed() {
    std::string output;
    status_ = RunCommand("cmake --install " + ShellQuote(test::BinaryDir().string()) + " --prefix " +
                             ShellQuote(prefix_.Path().string()),
                         &output);
    EXPECT_EQ(status_, 0) << output;
  }
  bool Ok() const { return status_ == 0; }
  fs::path operator/(const std::string& name) const { return prefix_ / name; }

 private:
  test::TempDir prefix_;
  int status_ = -1;
};

bool HasViewer() {
  return test::FileExists(test::BinaryDir() / "qel-image-tool");
}

TEST(Install, PrefixHoldsRunnableProgramsAndTheDesktopEntry) {
  QEL_SKIP_WITHOUT("desktop-file-validate", "convert");
  const Installed prefix;
  ASSERT_TRUE(prefix.Ok());
  std::string output;
  const fs::path bin = prefix / "bin";
  ASSERT_EQ(RunCommand(ShellQuote((bin / "qel-convert").string()) + " --version", &output), 0);
  EXPECT_TRUE(std::regex_match(output, std::regex("qel-convert [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << output;

  if (!HasViewer()) GTEST_SKIP() << "built without the viewer";
  ASSERT_EQ(RunCommand(ShellQuote((bin / "qel-image-tool").string()) + " --version", &output), 0);
  EXPECT_TRUE(std::regex_match(output, std::regex("qel-image-tool [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << output;
  // The viewer starts without a display and is still running when stopped (124).
  EXPECT_EQ(RunCommand("QT_QPA_PLATFORM=offscreen timeout 2 " + ShellQuote((bin / "qel-image-tool").string()),
                       &output),
            124)
      << output;

  const fs::path entry = prefix / "share" / "applications" / (std::string(QEL_APP_ID) + ".desktop");
  const std::string text = ReadText(entry);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(RunCommand("desktop-file-validate " + ShellQuote(entry.string()), &output), 0) << output;
  EXPECT_TRUE(output.empty()) << output;  // no warnings either
  for (const char* line : {"\nType=Application\n", "\nName=qel Image Tool\n", "\nExec=qel-image-tool %f\n",
                           "\nCategories=Graphics;Viewer;\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line;
  }
  EXPECT_NE(text.find(std::string("\nIcon=") + QEL_APP_ID + "\n"), std::string::npos);
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
  const fs::path icon =
      prefix / "share" / "icons" / "hicolor" / "scalable" / "apps" / (std::string(QEL_APP_ID) + ".svg");
  ASSERT_TRUE(test::FileExists(icon));
  EXPECT_EQ(
      RunCommand("/usr/bin/convert -background none " + ShellQuote(icon.string()) + " -format %wx%h info:",
                 &output),
      0)
      << output;
  EXPECT_EQ(output, "64x64");
}

TEST(Install, ManualPagesMetainfoAndIconsPassTheirValidators) {
  QEL_SKIP_WITHOUT("man", "appstreamcli", "identify");
  const Installed prefix;
  ASSERT_TRUE(prefix.Ok());
  std::string output;
  std::vector<std::string> programs = {"qel-convert"};
  if (HasViewer()) programs.push_back("qel-image-tool");
  for (const std::string& program : programs) {
    // man reports groff's and its own warnings on standard error; there must be none.
    const fs::path page = prefix / "share" / "man" / "man1" / (program + ".1.gz");
    ASSERT_TRUE(test::FileExists(page)) << page;
    EXPECT_EQ(RunCommand("LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l " + ShellQuote(page.string()) +
                             " 2>&1 >/dev/null",
                         &output),
              0);
    EXPECT_EQ(output, "") << program;
  }
  if (!HasViewer()) GTEST_SKIP() << "built without the viewer";

  // The viewer answers --help and --version without any display.
  const std::string viewer = ShellQuote((prefix / "bin" / "qel-image-tool").string());
  EXPECT_EQ(RunCommand("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + viewer + " --help", &output),
            0);
  EXPECT_EQ(output.rfind("Usage:\n  qel-image-tool [PICTURE]\n", 0), 0u) << output;
  EXPECT_EQ(
      RunCommand("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + viewer + " --version", &output),
      0);
  EXPECT_EQ(output, "qel-image-tool " + std::string(QEL_VERSION) + "\n");

  // The metainfo: valid, and it provides both programs and the desktop entry's media
  // types, with a release entry for this version.
  const fs::path metainfo = prefix / "share" / "metainfo" / (std::string(QEL_APP_ID) + ".metainfo.xml");
  EXPECT_EQ(RunCommand("appstreamcli validate --no-net " + ShellQuote(metainfo.string()), &output), 0)
      << output;
  const std::string xml = ReadText(metainfo);
  const std::string entry =
      ReadText(prefix / "share" / "applications" / (std::string(QEL_APP_ID) + ".desktop"));
  for (const std::string& part :
       {"<id>" + std::string(QEL_APP_ID) + "</id>",
        "<launchable type=\"desktop-id\">" + std::string(QEL_APP_ID) + ".desktop</launchable>",
        std::string("<binary>qel-image-tool</binary>"), std::string("<binary>qel-convert</binary>"),
        "<release version=\"" + std::string(QEL_VERSION) + "\"",
        std::string("<content_rating type=\"oars-1.1\"/>")})
    EXPECT_NE(xml.find(part), std::string::npos) << part;
  std::smatch types;
  ASSERT_TRUE(std::regex_search(entry, types, std::regex("\nMimeType=([^\n]*);\n")));
  std::string provided;
  const std::regex mediatype("<mediatype>([^<]*)</mediatype>");
  for (auto it = std::sregex_iterator(xml.begin(), xml.end(), mediatype); it != std::sregex_iterator(); ++it)
    provided += (provided.empty() ? "" : ";") + (*it)[1].str();
  EXPECT_EQ(provided, types[1].str());

  // The icon drawn at the sizes of its folders.
  for (const char* size : {"128", "256"}) {
    const fs::path png = prefix / "share" / "icons" / "hicolor" / (std::string(size) + "x" + size) / "apps" /
                         (std::string(QEL_APP_ID) + ".png");
    EXPECT_EQ(RunCommand("/usr/bin/identify -format %wx%h " + ShellQuote(png.string()), &output), 0) << png;
    EXPECT_EQ(output, std::string(size) + "x" + size);
  }
}

}  // namespace
}  // namespace qel
