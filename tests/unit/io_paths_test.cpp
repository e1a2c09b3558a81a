// Quick paths of loading and saving beside their plain forms: undoing the differencing
// predictor one channel at a time, and file writes that skip the stream's buffer.
#include <gtest/gtest.h>

#include <random>

#include "imaging/stream.h"
#include "import/tiff_rows.h"
#include "support/test_support.h"

namespace qel {
namespace {

TEST(IoPaths, DifferencingIsUndoneSampleBySample) {
  std::mt19937 rng(12);
  for (int samples = 1; samples <= 5; ++samples) {
    for (const std::size_t pixels : {std::size_t(0), std::size_t(1), std::size_t(2), std::size_t(977)}) {
      std::vector<std::uint8_t> row(pixels * std::size_t(samples));
      for (auto& b : row) b = std::uint8_t(rng());
      std::vector<std::uint8_t> expected = row;
      for (std::size_t i = std::size_t(samples); i < expected.size(); ++i)
        expected[i] = std::uint8_t(expected[i] + expected[i - std::size_t(samples)]);
      tiff::UndoHorizontalDifferencing(row.data(), pixels, samples, 8, false);
      EXPECT_EQ(row, expected) << samples << " samples, " << pixels << " pixels";
    }
  }
}

TEST(IoPaths, LargeAndSmallFileWritesLandInOrder) {
  test::TempDir dir;
  const std::string path = (dir / "mixed.bin").string();
  std::mt19937 rng(4);
  TMemoryStream expected;
  {
    TFileStream file(path, TFileStream::Mode::kCreate);
    for (int i = 0; i < 60; ++i) {
      // Now and then back over what was written, as a writer that patches a header does.
      if (i % 9 == 8) {
        const std::uint64_t at = rng() % (expected.Size() + 1);
        file.SetPosition(at);
        expected.SetPosition(at);
      }
      std::vector<std::uint8_t> chunk(i % 4 == 0 ? 65536 + rng() % 150000 : rng() % 3000);
      for (auto& b : chunk) b = std::uint8_t(rng());
      file.Write(chunk.data(), chunk.size());
      expected.Write(chunk.data(), chunk.size());
      ASSERT_EQ(file.Position(), expected.Position());
    }
    file.Commit();
  }
  EXPECT_EQ(test::ReadFileBytes(path), expected.TakeBytes());
}

}  // namespace
}  // namespace qel
