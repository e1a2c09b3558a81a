#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "cli/operations.h"
#include "imaging/border.h"
#include "imaging/crop.h"
#include "imaging/errors.h"
#include "imaging/resample.h"
#include "imaging/rotate.h"
#include "imaging/sharpen.h"
#include "imaging/stream.h"
#include "imaging/tone.h"
#include "output/bmp_writer.h"
#include "support/test_support.h"

namespace qel {
namespace {

using cli::Operation;
using cli::OperationSettings;

Picture Gradient(int w, int h) {
  Picture p = NewPicture(w, h, kNoColor);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      p.SetPixel(
          x, y,
          RGBColor(std::uint8_t(x * 255 / std::max(w - 1, 1)), std::uint8_t(y * 255 / std::max(h - 1, 1)),
                   std::uint8_t((x * 37 + y * 91) & 0xFF)));
  return p;
}

// Parses a command line of operations and applies them to the picture.
void Apply(Picture& picture, const std::vector<std::string>& args) {
  std::vector<Operation> steps;
  for (std::size_t i = 0; i < args.size();) {
    if (!cli::ParseOperation(args, i, steps)) throw std::invalid_argument("not an operation: " + args[i]);
  }
  OperationSettings settings;
  for (const auto& step : steps) step(picture, settings);
}

// The text of the std::invalid_argument that parsing the arguments throws.
std::string ParseError(const std::vector<std::string>& args) {
  try {
    Picture p = Gradient(4, 4);
    Apply(p, args);
  } catch (const std::invalid_argument& e) {
    return e.what();
  }
  return "";
}

bool Same(const Picture& a, const Picture& b) {
  const auto d = test::Compare(a, b);
  return d.same_size && d.differing_pixels == 0;
}

TEST(CliOperations, RecognisesOnlyItsOwnOptions) {
  std::vector<Operation> steps;
  std::vector<std::string> args = {"--overwrite", "--resize", "50%", "--gray"};
  std::size_t i = 0;
  EXPECT_FALSE(cli::ParseOperation(args, i, steps));
  EXPECT_EQ(i, 0u);
  i = 1;
  EXPECT_TRUE(cli::ParseOperation(args, i, steps));
  EXPECT_EQ(i, 3u);  // the option and its value
  EXPECT_TRUE(cli::ParseOperation(args, i, steps));
  EXPECT_EQ(i, 4u);
  EXPECT_EQ(steps.size(), 2u);
  // Every option appears in the help.
  const std::string help = cli::OperationsHelp();
  for (const char* name :
       {"--resize", "--filter", "--sharpen-after-resize", "--rotate-right", "--rotate-left", "--lighten",
        "--darken", "--contrast-up", "--contrast-down", "--sharpen", "--antialias", "--gray", "--sepia",
        "--draw-border", "--add-border", "--frame-color", "--line-color", "--border-width", "--crop"}) {
    EXPECT_NE(help.find(name), std::string::npos) << name;
  }
}

TEST(CliOperations, MalformedValuesAreRefusedWithTheirText) {
  EXPECT_EQ(ParseError({"--resize"}), "--resize needs a value: WxH|P%");
  for (const char* bad :
       {"0x5", "5x0", "-3x4", "5x", "x5", "5x5x5", "axb", "0%", "-5%", "1.5%", "%", "", "5 x5"})
    EXPECT_NE(ParseError({"--resize", bad}).find("--resize " + std::string(bad) + ": expected"),
              std::string::npos)
        << bad;
  EXPECT_NE(ParseError({"--resize", "20000000x2"}), "");  // beyond the picture limits
  for (const char* bad : {"7", "-1", "Lanczos", "box3", ""})
    EXPECT_NE(ParseError({"--filter", bad}).find("expected Box, Triangle"), std::string::npos) << bad;
  for (const char* bad : {"FF0000", "#FF000", "#FF00000", "#GG0000", "red"})
    EXPECT_NE(ParseError({"--frame-color", bad}).find("expected a colour #RRGGBB"), std::string::npos) << bad;
  EXPECT_NE(ParseError({"--line-color", "#12345"}), "");
  for (const char* bad : {"0", "51", "ten", "-1", "5px"})
    EXPECT_NE(ParseError({"--border-width", bad}).find("expected a width of 1 to 50"), std::string::npos)
        << bad;
  for (const char* bad :
       {"1,2,3", "1,2,3,4,5", "1,2,0,4", "1,2,3,-4", "a,b,c,d", "1,,3,4", "99999999999,0,1,1"})
    EXPECT_NE(ParseError({"--crop", bad}).find("expected X,Y,WIDTH,HEIGHT"), std::string::npos) << bad;
  EXPECT_EQ(ParseError({"--gray=yes"}), "--gray takes no value");
  // The =VALUE form works as well as a separate value.
  EXPECT_EQ(ParseError({"--resize=50%", "--filter=bspline", "--border-width=50", "--crop=-5,-5,10,10"}), "");
  EXPECT_EQ(ParseError({"--filter", "0", "--filter", "6", "--filter", "MITCHELL"}), "");
}

TEST(CliOperations, PercentagesRoundAsTheOptionsWindowDoes) {
  Picture p = Gradient(1001, 333);
  Apply(p, {"--resize", "50%"});
  EXPECT_EQ(p.Width(), 501);  // 500.5 away from zero
  EXPECT_EQ(p.Height(), 167);
  Picture q = Gradient(30, 20);
  Apply(q, {"--resize", "1%"});
  EXPECT_EQ(q.Width(), 1);  // 0.3 and 0.2 clamp to 1
  EXPECT_EQ(q.Height(), 1);
  Picture r = Gradient(3, 2);
  EXPECT_THROW(Apply(r, {"--resize", "2000000000%"}), Error);
  EXPECT_EQ(r.Width(), 3);
}

TEST(CliOperations, SettingsHoldForTheOperationsAfterThem) {
  const Picture original = Gradient(23, 17);
  // The filter applies to the resizes after it, not before.
  Picture p = original;
  Apply(p, {"--resize", "11x9", "--filter", "Box", "--resize", "30x20"});
  Picture expected = original;
  ResizePicture(expected, 11, 9, kFilterLanczos3);
  ResizePicture(expected, 30, 20, kFilterBox);
  EXPECT_TRUE(Same(p, expected));

  // Sharpening follows every later resize, with the commands' strength.
  p = original;
  Apply(p, {"--filter", "3", "--sharpen-after-resize", "--resize", "40x30"});
  expected = original;
  ResizePicture(expected, 40, 30, kFilterBell);
  SharpenPicture(expected, 2.0f);
  EXPECT_TRUE(Same(p, expected));

  // Border colours and width, read when the border is drawn.
  p = original;
  Apply(p, {"--draw-border", "--frame-color", "#FF8000", "--line-color", "#000000", "--border-width", "4",
            "--add-border"});
  expected = original;
  DrawBorder(expected, 0xFFFFFF, 0x808080, 10);
  AddBorder(expected, RGBColor(0xFF, 0x80, 0x00), 0, 4);
  EXPECT_TRUE(Same(p, expected));

  // A sharpen after a resize too small for it fails with its message.
  p = original;
  try {
    Apply(p, {"--sharpen-after-resize", "--resize", "2x2"});
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Bitmap must be at least 3x3");
  }
}

TEST(CliOperations, CropClipsAndRefusesNothing) {
  const Picture original = Gradient(20, 10);
  Picture p = original;
  Apply(p, {"--crop", "15,-3,100,8"});
  Picture expected = original;
  CropPicture(expected, TRect{15, 0, 20, 5});
  EXPECT_TRUE(Same(p, expected));

  p = original;
  try {
    Apply(p, {"--crop", "20,0,5,5"});
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("lies outside the 20 x 10 picture"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(Same(p, original));
}

// ---- Through build/qel-convert ------------------------------------------------------

class ConvertTool : public ::testing::Test {
 protected:
  void SetUp() override {
    input_ = dir_ / "in.bmp";
    original_ = Gradient(21, 13);
    TFileStream stream(input_.string(), TFileStream::Mode::kCreate);
    WriteBmp(original_, stream);
    stream.Commit();
    std::string output;
    if (test::RunCommand(
            test::ShellQuote(test::ConvertTool().string()) + " --info " + test::ShellQuote(input_.string()),
            &output) != 0) {
      GTEST_SKIP() << "qel-convert cannot read BMP files yet: " << output;
    }
  }

  // Runs qel-convert in.bmp out.bmp with the arguments; returns its exit status.
  int Run(const std::string& args, std::string* output) {
    return test::RunCommand(test::ShellQuote(test::ConvertTool().string()) + " " +
                                test::ShellQuote(input_.string()) + " " +
                                test::ShellQuote((dir_ / "out.bmp").string()) + " " + args,
                            output);
  }

  // Runs the operations through qel-convert and compares the file written with the
  // same operations applied here.
  void Check(const std::string& args, const std::vector<std::string>& split) {
    std::string output;
    ASSERT_EQ(Run(args, &output), 0) << args << ": " << output;
    const auto written = test::PillowDecode(dir_ / "out.bmp");
    ASSERT_TRUE(written.has_value()) << args;
    Picture expected = original_;
    Apply(expected, split);
    EXPECT_TRUE(Same(*written, expected)) << args << ": " << test::Compare(*written, expected).Describe();
    std::filesystem::remove(dir_ / "out.bmp");
  }

  test::TempDir dir_;
  std::filesystem::path input_;
  Picture original_;
};

TEST_F(ConvertTool, AppliesOperationsLeftToRight) {
  QEL_SKIP_WITHOUT("pillow");
  Check("--resize 50%", {"--resize", "50%"});
  Check("--filter Box --resize 10x6 --rotate-right",
        {"--filter", "Box", "--resize", "10x6", "--rotate-right"});
  Check("--rotate-left --lighten --contrast-down --sepia",
        {"--rotate-left", "--lighten", "--contrast-down", "--sepia"});
  Check("--darken --contrast-up --gray --sharpen --antialias",
        {"--darken", "--contrast-up", "--gray", "--sharpen", "--antialias"});
  Check(
      "--border-width 3 --line-color '#0000FF' --draw-border --frame-color '#00FF00' --add-border --crop "
      "2,3,5,4",
      {"--border-width", "3", "--line-color", "#0000FF", "--draw-border", "--frame-color", "#00FF00",
       "--add-border", "--crop", "2,3,5,4"});
}

TEST_F(ConvertTool, FailedOperationsWriteNothing) {
  for (const char* args : {"--crop 100,100,5,5", "--sharpen-after-resize --resize 2x2"}) {
    std::string output;
    EXPECT_EQ(Run(args, &output), 1) << args;
    EXPECT_FALSE(test::FileExists(dir_ / "out.bmp")) << args << ": " << output;
    EXPECT_FALSE(output.empty()) << args;
  }
}

TEST(ConvertToolOptions, MalformedValuesStopBeforeReading) {
  // The input does not exist: the options are refused before it is opened.
  test::TempDir dir;
  const std::string tool = test::ShellQuote(test::ConvertTool().string());
  for (const char* args :
       {"--resize 0x5", "--filter Sinc", "--border-width 51", "--crop 1,2,3", "--frame-color"}) {
    std::string output;
    EXPECT_EQ(test::RunCommand(tool + " " + test::ShellQuote((dir / "missing.bmp").string()) + " " +
                                   test::ShellQuote((dir / "out.bmp").string()) + " " + args,
                               &output),
              1)
        << args;
    EXPECT_EQ(output.rfind("qel-convert: --", 0), 0u) << args << ": " << output;
    EXPECT_FALSE(test::FileExists(dir / "out.bmp")) << args;
  }
}

}  // namespace
}  // namespace qel
