// Quick paths of loading and saving beside their plain forms: undoing the differencing
// predictor one channel at a time, file writes that skip the stream's buffer, and wide
// rows read straight into the picture.
#include <gtest/gtest.h>

#include <random>

#include "imaging/picture_container.h"
#include "imaging/stream.h"
#include "import/tiff/rows.h"
#include "output/bmp_writer.h"
#include "support/test_support.h"
#include "unit/output/writer_helpers.h"

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

TEST(IoPaths, WideRowsOfPortableMapsAndBitmapsLoadExactly) {
  // Rows longer than the readers' buffers go straight into the picture; 1367 pixels
  // make rows with padding in the BMP.
  test::TempDir dir;
  for (const int width : {1367, 4000}) {
    const Picture picture = test::NoisePicture(width, 7, unsigned(width));
    const auto ppm = dir / "wide.ppm";
    test::WritePPMFile(ppm, picture);
    EXPECT_EQ(test::Compare(LoadPictureFile(ppm.string()), picture).differing_pixels, 0u) << width;
    const auto bmp = dir / "wide.bmp";
    {
      TFileStream file(bmp.string(), TFileStream::Mode::kCreate);
      WriteBmp(picture, file);
      file.Commit();
    }
    EXPECT_EQ(test::Compare(LoadPictureFile(bmp.string()), picture).differing_pixels, 0u) << width;
    // One byte short: the last row cannot be read.
    std::vector<std::uint8_t> bytes = test::ReadFileBytes(ppm);
    bytes.pop_back();
    test::WriteFileBytes(ppm, bytes);
    EXPECT_THROW(LoadPictureFile(ppm.string()), Error) << width;
  }
}

}  // namespace
}  // namespace qel
