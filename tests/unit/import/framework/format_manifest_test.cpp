// The format manifest (src/import/formats.def) against what a reader needs besides its
// rows: its tests, its fuzz seeds, a MIME type or the mark that it has none, a line in
// the README; and the registry's tables against the rows.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "imaging/picture_container.h"
#include "import/framework/file_format_list.h"
#include "import/framework/format_manifest.h"
#include "import/framework/format_registry.h"
#include "support/test_support.h"

namespace qel {
namespace {

namespace fs = std::filesystem;

bool HasFileStartingWith(const fs::path& folder, std::string_view prefix, std::string_view suffix = "") {
  if (!fs::is_directory(folder)) return false;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(prefix) && name.ends_with(suffix)) return true;
  }
  return false;
}

TEST(FormatManifest, EveryReaderHasItsTestsAndFuzzTarget) {
  const fs::path fuzz = test::SourceDir() / "fuzz";
  for (const ReaderRow& reader : ReaderManifest()) {
    SCOPED_TRACE(reader.graphic_class().Name());
    EXPECT_TRUE(
        HasFileStartingWith(test::SourceDir() / "tests/unit/import" / reader.test_folder, "", "_test.cpp"))
        << "no tests in tests/unit/import/" << reader.test_folder;
    EXPECT_TRUE(HasFileStartingWith(fuzz / "corpus" / reader.fuzz_target, "seed-"))
        << "no seeds in fuzz/corpus/" << reader.fuzz_target;
    // A target of its own has its source; the others are made by the build.
    const fs::path source = fuzz / (std::string(reader.fuzz_target) + ".cpp");
    EXPECT_EQ(fs::exists(source), reader.fuzz_setup == FuzzSetup::kOwn) << source;
  }
}

TEST(FormatManifest, EveryRegistrationHasAMimeTypeUnlessMarkedWithout) {
  std::map<std::string_view, std::string> types;
  for (const FormatRow& row : FormatManifest()) {
    SCOPED_TRACE(row.extension);
    // nullptr is the mark of a format the shared MIME database has no type for.
    const std::string type = row.mime_type ? row.mime_type : "(none)";
    EXPECT_TRUE(!row.mime_type || type.starts_with("image/")) << type;
    // Rows of one extension agree.
    EXPECT_EQ(types.emplace(row.extension, type).first->second, type);
  }
}

TEST(FormatManifest, ReadmeTableNamesEveryExtension) {
  std::ifstream readme(test::SourceDir() / "README.md");
  std::set<std::string> named;
  bool in_table = false;
  for (std::string line; std::getline(readme, line);) {
    if (line.starts_with("| Reads |")) in_table = true;
    if (!in_table) continue;
    if (!line.starts_with('|')) break;
    std::istringstream cell(line.substr(1, line.find('|', 1) - 1));
    for (std::string ext; std::getline(cell >> std::ws, ext, ',');)
      named.insert(ext.substr(0, ext.find(' ')));
  }
  for (const FormatRow& row : FormatManifest()) {
    EXPECT_TRUE(named.contains(std::string(row.extension)))
        << row.extension << " is not in the README's table";
  }
}

TEST(FormatManifest, TablesHoldTheRowsInTheirOrder) {
  RegisterStartupFormats();
  std::vector<std::pair<std::string, const GraphicClass*>> pictures, added, imports, expected_pictures,
      expected_added, expected_imports;
  for (const auto& e : PictureFormats().Entries()) pictures.emplace_back(e.extension, e.graphic_class);
  for (const auto& e : AddedPictureFormats().Entries()) added.emplace_back(e.extension, e.graphic_class);
  for (const auto& e : GraphicFormatRegistry().Extensions())
    imports.emplace_back(e.extension, e.class_entry->graphic_class);
  for (const FormatRow& row : FormatManifest()) {
    const std::pair<std::string, const GraphicClass*> entry{std::string(row.extension), &row.graphic_class()};
    (row.list == FormatList::kAdded ? expected_added : expected_pictures).push_back(entry);
    if (row.list == FormatList::kImportLibrary) expected_imports.push_back(entry);
  }
  EXPECT_EQ(pictures, expected_pictures);
  EXPECT_EQ(added, expected_added);
  EXPECT_EQ(imports, expected_imports);
}

}  // namespace
}  // namespace qel
