// The formats read beyond the format table: found by extension after it, listed by
// --formats and in the filter text after its rows, the table itself untouched.
#include <gtest/gtest.h>

#include <cctype>
#include <vector>

#include "imaging/picture_container.h"
#include "import/framework/format_manifest.h"
#include "import/framework/format_registry.h"
#include "support/test_support.h"

namespace qel {
namespace {

TEST(AddedFormats, FollowTheTableWithoutChangingIt) {
  RegisterStartupFormats();
  std::vector<const FormatRow*> added;
  for (const FormatRow& row : FormatManifest()) {
    if (row.list == FormatList::kAdded) added.push_back(&row);
  }
  ASSERT_FALSE(added.empty());
  std::string entries;  // the filter text's entries of the added rows, the last first
  for (const FormatRow* row : added) {
    const std::string ext(row->extension);
    EXPECT_EQ(PictureFormats().FindExtension(ext), nullptr) << ext;
    EXPECT_EQ(FindPictureClass(ext), &row->graphic_class()) << ext;
    std::string upper = ext;
    for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(FindPictureClass(upper), &row->graphic_class()) << upper;
    std::string entry(1, '|');
    entry.append(row->common_description).append(" (*.").append(ext).append(")|*.").append(ext);
    entries.insert(0, entry);
  }
  EXPECT_EQ(AddedPictureFormats().Entries().size(), added.size());
  EXPECT_EQ(FindPictureClass("png")->Name(), "TPNGObject");
  EXPECT_EQ(FindPictureClass("cur"), nullptr);
  // The filter text a drop is tested against: the table's, then the new entries.
  const std::string table = PictureFilterText(), readable = ReadableFilterText();
  EXPECT_EQ(readable, table + entries);
  // --formats numbers the new rows on after the table's 51.
  std::string out;
  ASSERT_EQ(test::RunCommand(test::ShellQuote(test::ConvertTool().string()) + " --formats", &out), 0);
  for (std::size_t i = 0; i < added.size(); ++i) {
    std::string line = "  " + std::to_string(52 + i);
    line.append("\t").append(added[i]->extension).append("\t").append(added[i]->common_description);
    line.append("\t").append(added[i]->graphic_class().Name()).append("\n");
    EXPECT_NE(out.find(line), std::string::npos) << line;
  }
  EXPECT_NE(out.find("  51\tgif\tGIF Image\tTGIFImage\n  52\t"), std::string::npos);
  EXPECT_NE(out.find("\n" + readable + "\n"), std::string::npos);
}

}  // namespace
}  // namespace qel
