// The formats read beyond the format table: found by extension after it, listed by
// --formats and in the filter text after its rows, the table itself untouched.
#include <gtest/gtest.h>

#include <map>

#include "imaging/picture_container.h"
#include "import/framework/format_registry.h"
#include "support/test_support.h"

namespace qel {
namespace {

TEST(AddedFormats, FollowTheTableWithoutChangingIt) {
  RegisterStartupFormats();
  const std::map<std::string, std::string> readers = {
      {"webp", "TWebPGraphic"}, {"avif", "TAVIFGraphic"}, {"heic", "THEIFGraphic"}, {"HEIF", "THEIFGraphic"},
      {"jxl", "TJXLGraphic"},   {"cr2", "TRawGraphic"},   {"nef", "TRawGraphic"},   {"arw", "TRawGraphic"},
      {"dng", "TRawGraphic"},   {"orf", "TRawGraphic"},   {"rw2", "TRawGraphic"},   {"raf", "TRawGraphic"},
      {"pef", "TRawGraphic"},   {"svg", "TSVGGraphic"},
  };
  for (const auto& [ext, name] : readers) {
    EXPECT_EQ(PictureFormats().FindExtension(ext), nullptr) << ext;
    ASSERT_NE(FindPictureClass(ext), nullptr) << ext;
    EXPECT_EQ(FindPictureClass(ext)->Name(), name);
  }
  EXPECT_EQ(AddedPictureFormats().Entries().size(), 14u);
  EXPECT_EQ(FindPictureClass("png")->Name(), "TPNGObject");
  EXPECT_EQ(FindPictureClass("cur"), nullptr);
  // The filter text a drop is tested against: the table's, then the new entries.
  const std::string table = PictureFilterText(), readable = ReadableFilterText();
  EXPECT_TRUE(
      readable.starts_with(table + "|Scalable vector graphics (*.svg)|*.svg|Pentax raw images (*.pef)|"));
  EXPECT_TRUE(readable.ends_with("|AVIF images (*.avif)|*.avif|WebP images (*.webp)|*.webp"));
  // --formats numbers the new rows on after the table's 51.
  std::string out;
  ASSERT_EQ(test::RunCommand(test::ShellQuote(test::ConvertTool().string()) + " --formats", &out), 0);
  EXPECT_NE(out.find("  51\tgif\tGIF Image\tTGIFImage\n  52\twebp\tWebP images\tTWebPGraphic\n"),
            std::string::npos);
  EXPECT_NE(out.find("  65\tsvg\tScalable vector graphics\tTSVGGraphic\n"), std::string::npos);
  EXPECT_NE(out.find("\n" + readable + "\n"), std::string::npos);
}

}  // namespace
}  // namespace qel
