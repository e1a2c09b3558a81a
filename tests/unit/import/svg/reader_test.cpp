// SVG drawings render as rsvg-convert renders them over white: at their own size, or at
// 1024 pixels on the longer side of the view box when they give none.
#include "unit/import/library_reader_helpers.h"

namespace qel {
namespace {

struct Drawing {
  const char* name;
  const char* size;   // the attributes of the <svg> element
  int width, height;  // what it is rendered at
  bool sized;         // whether rsvg-convert takes that size without being told
};

constexpr const char* kShapes =
    "<rect x='2' y='2' width='30' height='20' fill='#c83214'/>"
    "<circle cx='40' cy='30' r='14' fill='#1e64c8' fill-opacity='0.6'/>"
    "<path d='M 5 45 L 55 5' stroke='#20a040' stroke-width='3'/>"
    "<text x='4' y='44' font-size='9' font-family='DejaVu Sans'>qel</text>";

TEST(SVGReader, DrawingsRenderAsRsvgConvertRendersThem) {
  QEL_SKIP_WITHOUT("rsvg-convert", "pillow");
  RegisterStartupFormats();
  test::TempDir dir;
  const std::vector<Drawing> drawings = {
      {"pixels", "width='64' height='48'", 64, 48, true},
      {"scaled", "width='120' height='90' viewBox='0 0 64 48'", 120, 90, true},
      {"points", "width='48pt' height='36pt'", 64, 48, true},  // 96 pixels an inch
      {"fraction", "width='63.2' height='47.5'", 64, 48, true},
      {"viewbox-only", "viewBox='0 0 64 48'", 1024, 768, false},
      {"tall-viewbox-only", "viewBox='0 0 48 64'", 768, 1024, false},
  };
  for (const Drawing& d : drawings) {
    SCOPED_TRACE(d.name);
    const std::string text =
        std::string("<svg xmlns='http://www.w3.org/2000/svg' ") + d.size + ">" + kShapes + "</svg>";
    const std::filesystem::path file = dir / (std::string(d.name) + ".svg");
    test::WriteFileBytes(file, std::vector<std::uint8_t>(text.begin(), text.end()));
    const Picture shown = LoadPictureFile(file.string());
    ASSERT_EQ(shown.Width(), d.width);
    ASSERT_EQ(shown.Height(), d.height);
    const std::filesystem::path reference = dir / (std::string(d.name) + ".png");
    const std::string size =
        d.sized ? std::string() : " -w " + std::to_string(d.width) + " -h " + std::to_string(d.height);
    ASSERT_EQ(test::RunCommand("rsvg-convert -b white" + size + " -o " +
                               test::ShellQuote(reference.string()) + " " + test::ShellQuote(file.string())),
              0);
    const auto expected = test::PillowDecode(reference);
    ASSERT_TRUE(expected);
    const auto difference = test::Compare(shown, *expected);
    EXPECT_LE(difference.max_channel_difference, 1) << difference.Describe();
  }
  // Not a drawing, a broken one, and one too large for cairo.
  for (const std::string& text :
       {std::string("plain text"), std::string("<svg xmlns='http://www.w3.org/2000/svg'><rect"),
        std::string("<svg xmlns='http://www.w3.org/2000/svg' width='40000' height='10'/>")}) {
    test::WriteFileBytes(dir / "bad.svg", std::vector<std::uint8_t>(text.begin(), text.end()));
    EXPECT_TRUE(test::LoadError(dir / "bad.svg").starts_with("Cannot load image.")) << text;
  }
}

}  // namespace
}  // namespace qel
