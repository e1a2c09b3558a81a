// Helpers of the tests of the import library's GIF and PNG readers.
#pragma once

#include <gtest/gtest.h>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/errors.h"
#include "imaging/picture.h"
#include "imaging/picture_container.h"
#include "imaging/stream.h"
#include "import/framework/bitmap.h"
#include "support/test_support.h"

namespace qel::test {

using Bytes = std::vector<std::uint8_t>;

// The colours a bitmap stores for the pixels of a rectangle (the whole bitmap by
// default), whatever its format; alpha and transparency are left out.
inline Picture BitmapColors(const TBitmap& bitmap, int left = 0, int top = 0, int width = -1,
                            int height = -1) {
  if (width < 0) width = bitmap.Width();
  if (height < 0) height = bitmap.Height();
  Picture picture;
  picture.SetSize(width, height);
  std::vector<std::uint8_t> row(std::size_t(bitmap.Width()) * 3);
  for (int y = 0; y < height; ++y) {
    bitmap.RowToBGR(top + y, row.data());
    std::memcpy(picture.Row(y), row.data() + std::size_t(left) * 3, std::size_t(width) * 3);
  }
  return picture;
}

template <typename Graphic>
void LoadBytesInto(Graphic& graphic, const Bytes& bytes) {
  TMemoryStream stream{std::span<const std::uint8_t>(bytes)};
  graphic.LoadFromStream(stream);
}

template <typename Graphic>
void LoadFileInto(Graphic& graphic, const std::filesystem::path& path) {
  TFileStream stream(path.string(), TFileStream::Mode::kRead);
  graphic.LoadFromStream(stream);
}

// The message of the library error that loading raises, "" when the bytes load.
// Anything but a library error is a fault and escapes.
template <typename Graphic>
std::string LoadErrorOf(const Bytes& bytes) {
  Graphic graphic;
  try {
    LoadBytesInto(graphic, bytes);
  } catch (const Error& e) {
    return e.what();
  }
  return "";
}

inline void PutBE16(Bytes& b, std::uint32_t v) {
  b.push_back(std::uint8_t(v >> 8));
  b.push_back(std::uint8_t(v));
}
inline void PutBE32(Bytes& b, std::uint32_t v) {
  PutBE16(b, v >> 16);
  PutBE16(b, v & 0xFFFF);
}
inline void PutLE16(Bytes& b, std::uint32_t v) {
  b.push_back(std::uint8_t(v));
  b.push_back(std::uint8_t(v >> 8));
}
inline void PutLE32(Bytes& b, std::uint32_t v) {
  PutLE16(b, v & 0xFFFF);
  PutLE16(b, v >> 16);
}

// Deterministic noise written over bytes of a file (mostly its first kilobyte, where
// the headers are), sometimes cut short: round r of a damage sequence.
class Damager {
 public:
  Bytes Damage(const Bytes& original, int round) {
    Bytes damaged = original;
    const std::size_t span = std::min<std::size_t>(damaged.size(), round % 3 ? 1024 : damaged.size());
    for (int i = 0; i < 1 + round % 8; ++i) damaged[Next() % span] = std::uint8_t(Next() >> 16);
    if (round % 5 == 0) damaged.resize(Next() % damaged.size());
    return damaged;
  }

 private:
  std::uint32_t Next() { return noise_ = noise_ * 1103515245u + 12345u; }
  std::uint32_t noise_ = 2024;
};

}  // namespace qel::test

namespace qel::test {

// Collects the warnings a reader reports.
class WarningLog : public ProgressObserver {
 public:
  void OnProgress(ProgressStage, int, const TRect&, std::string_view) override {}
  void OnWarning(std::string_view text) override { warnings.emplace_back(text); }
  std::vector<std::string> warnings;
};

// A copy of a file cut short loads with a warning; every pixel is the complete file's
// (within 2 levels) or white, and some are the file's. Returns the share of pixels that
// are not white.
inline double ExpectCutCopyShowsWhatItHolds(const std::filesystem::path& cut, const GraphicClass& reader,
                                            const Picture& complete) {
  WarningLog log;
  const Picture shown = LoadPictureFileAs(cut.string(), reader, &log);
  EXPECT_EQ(log.warnings.size(), 1u);
  EXPECT_EQ(shown.Width(), complete.Width());
  EXPECT_EQ(shown.Height(), complete.Height());
  if (shown.Width() != complete.Width() || shown.Height() != complete.Height()) return 0;
  std::size_t kept = 0, wrong = 0;
  for (int y = 0; y < shown.Height(); ++y) {
    for (int x = 0; x < shown.Width(); ++x) {
      const TColor a = shown.Pixel(x, y), b = complete.Pixel(x, y);
      int difference = 0;
      for (int shift : {0, 8, 16})
        difference = std::max(difference, std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)));
      if (difference <= 2 && a != 0xFFFFFF) ++kept;
      if (difference > 2 && a != 0xFFFFFF) ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0u) << cut.filename();
  EXPECT_GT(kept, 0u) << cut.filename();
  return double(kept) / double(shown.Width() * shown.Height());
}

}  // namespace qel::test
