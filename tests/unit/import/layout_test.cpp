// The import library's folders keep to themselves: a format's files include nothing of
// another format's folder, only the framework, the colour manager and the codecs; the
// codecs and the colour manager include no format at all. The readers include no
// writer, and the encoders live with the writers: no format folder drives an encoder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>

#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

const std::set<std::string> kShared = {"framework", "color", "codecs"};

TEST(ImportLayout, FormatsReachEachOtherOnlyThroughTheSharedFolders) {
  const fs::path import_dir = qel::test::SourceDir() / "src" / "import";
  const std::regex include(R"re(^\s*#\s*include\s+"import/([^/"]+)/)re");
  const std::regex output(R"re(^\s*#\s*include\s+"output/)re");
  const std::regex encoder(
      R"re(opj_create_compress|png_create_write_struct|jpeg_start_compress|SaveToStream)re");
  int files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(import_dir)) {
    if (!entry.is_regular_file()) continue;
    const fs::path relative = fs::relative(entry.path(), import_dir);
    if (relative.begin() == relative.end() || ++relative.begin() == relative.end()) continue;
    const std::string folder = relative.begin()->string();
    ++files;
    std::ifstream in(entry.path());
    std::string line;
    while (std::getline(in, line)) {
      EXPECT_FALSE(std::regex_search(line, output)) << relative << " includes a writer: " << line;
      EXPECT_FALSE(std::regex_search(line, encoder)) << relative << " encodes: " << line;
      std::smatch match;
      if (!std::regex_search(line, match, include)) continue;
      const std::string target = match[1];
      // The framework's registry knows every format; everything else reaches only the
      // shared folders and its own.
      if (folder == "framework" || target == folder) continue;
      EXPECT_TRUE(kShared.count(target)) << relative << " includes the folder " << target;
    }
  }
  EXPECT_GT(files, 100);
  // Only folders at the top: nothing of the import library lies loose beside them but
  // a handful of files.
  int loose = 0;
  for (const auto& entry : fs::directory_iterator(import_dir)) loose += entry.is_regular_file();
  EXPECT_LE(loose, 3);
}

}  // namespace
