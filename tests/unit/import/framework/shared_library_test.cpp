// The decoding libraries of the newer formats are opened when a file needs one, not at
// start-up: a conversion between the old formats loads none of them, an SVG loads
// librsvg and no other.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#include "import/framework/shared_library.h"
#include "support/test_support.h"

namespace qel {
namespace {

// The libraries the dynamic loader reports opening while qel-convert runs the arguments.
std::string LibrariesLoaded(const std::string& arguments) {
  std::string out;
  const std::string command =
      "LD_DEBUG=files " + test::ShellQuote(test::ConvertTool().string()) + " " + arguments + " 2>&1";
  EXPECT_EQ(test::RunCommand(command, &out), 0) << out;
  return out;
}

TEST(SharedLibrary, NewerFormatLibrariesOpenOnlyWhenAFileNeedsThem) {
  test::TempDir dir;
  const std::string svg = (dir / "drawing.svg").string(), bmp = (dir / "in.bmp").string();
  std::ofstream(svg) << "<svg xmlns='http://www.w3.org/2000/svg' width='8' height='6'>"
                        "<rect width='8' height='6' fill='#204080'/></svg>";
  test::RunCommand(test::ShellQuote(test::ConvertTool().string()) + " " + test::ShellQuote(svg) + " " +
                   test::ShellQuote(bmp));
  const std::string plain =
      LibrariesLoaded(test::ShellQuote(bmp) + " " + test::ShellQuote((dir / "o.png").string()));
  const std::string drawing =
      LibrariesLoaded(test::ShellQuote(svg) + " " + test::ShellQuote((dir / "o.bmp").string()));
  for (const char* library : {"libheif", "libavif", "libjxl", "libraw_r", "librsvg"}) {
    EXPECT_EQ(plain.find(library), std::string::npos) << library << " loaded for a BMP to PNG conversion";
    if (std::strcmp(library, "librsvg") != 0) {
      EXPECT_EQ(drawing.find(library), std::string::npos) << library << " loaded for an SVG";
    }
  }
  EXPECT_NE(drawing.find("librsvg"), std::string::npos) << drawing.substr(0, 2000);
}

TEST(SharedLibrary, CompleteOnlyWhenOpenAndEveryFunctionFound) {
  int (*puts_function)(const char*) = nullptr;
  SharedLibrary libc("libc.so.6");
  libc.Bind(puts_function, "puts");
  EXPECT_TRUE(libc.Complete());
  EXPECT_NE(puts_function, nullptr);
  libc.Bind(puts_function, "no_such_function_in_libc");
  EXPECT_FALSE(libc.Complete());
  EXPECT_EQ(puts_function, nullptr);

  SharedLibrary missing("libqel-no-such-library.so.0");
  missing.Bind(puts_function, "puts");
  EXPECT_FALSE(missing.Complete());
  EXPECT_EQ(missing.FileName(), "libqel-no-such-library.so.0");
}

}  // namespace
}  // namespace qel
