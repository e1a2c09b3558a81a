// The resampler's progress notifications: what an observer is told, and that telling it
// changes nothing of the result.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/errors.h"
#include "imaging/graphic.h"
#include "imaging/resample.h"
#include "support/test_support.h"

namespace qel {
namespace {

struct Notification {
  ProgressStage stage;
  int percent;
  TRect rect;
  std::string message;
};

class Recorder : public ProgressObserver {
 public:
  std::vector<Notification> seen;
  int throw_at = -1;  // percent at which to stop the resize
  void OnProgress(ProgressStage stage, int percent, const TRect& rect, std::string_view message) override {
    seen.push_back({stage, percent, rect, std::string(message)});
    if (percent == throw_at) throw Error("Stopped");
  }
  void OnWarning(std::string_view) override {}
};

Picture Pattern(int width, int height) {
  Picture p = NewPicture(width, height, kNoColor);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      p.SetPixel(x, y, RGBColor(std::uint8_t(x * 7), std::uint8_t(y * 5), std::uint8_t(x ^ y)));
  return p;
}

TEST(ResampleProgress, RowsThenColumnsWithoutChangingTheResult) {
  const Picture source = Pattern(301, 203);
  for (const auto& [width, height] : {std::pair{150, 400}, std::pair{900, 50}, std::pair{3, 2}}) {
    Picture plain = source, observed = source;
    ResizePicture(plain, width, height, kFilterLanczos3);
    Recorder recorder;
    ResizePicture(observed, width, height, kFilterLanczos3, &recorder);
    const auto d = test::Compare(plain, observed);
    EXPECT_TRUE(d.same_size && d.differing_pixels == 0) << d.Describe();

    ASSERT_GE(recorder.seen.size(), 3u);
    EXPECT_EQ(recorder.seen.front().stage, ProgressStage::kStarting);
    EXPECT_EQ(recorder.seen.back().stage, ProgressStage::kEnding);
    EXPECT_EQ(recorder.seen.back().percent, 100);
    int last = -1;
    bool saw_rows = false, saw_columns = false;
    for (std::size_t i = 1; i + 1 < recorder.seen.size(); ++i) {
      const Notification& n = recorder.seen[i];
      EXPECT_EQ(n.stage, ProgressStage::kRunning);
      EXPECT_GT(n.percent, last) << "each percent once, rising";
      last = n.percent;
      // Up to 50 the rows of the first pass (new width, old height), then the columns of
      // the second (new width, new height).
      if (n.percent <= 50) {
        saw_rows = true;
        EXPECT_EQ(n.rect.right, width);
        EXPECT_LE(n.rect.bottom, source.Height());
      } else {
        saw_columns = true;
        EXPECT_LE(n.rect.right, width);
        EXPECT_EQ(n.rect.bottom, height);
      }
      EXPECT_EQ(n.message, "Resizing...");
    }
    EXPECT_TRUE(saw_rows && saw_columns);
    EXPECT_EQ(last, 100);
  }
}

TEST(ResampleProgress, AnObserverThatThrowsLeavesThePictureAsItWas) {
  const Picture source = Pattern(120, 80);
  Picture picture = source;
  Recorder recorder;
  recorder.throw_at = 60;
  EXPECT_THROW(ResizePicture(picture, 60, 40, kFilterMitchell, &recorder), Error);
  const auto d = test::Compare(picture, source);
  EXPECT_TRUE(d.same_size && d.differing_pixels == 0);
  // An empty target side: a starting and an ending notification only.
  Recorder empty;
  ResizePicture(picture, 0, 10, kFilterBox, &empty);
  ASSERT_EQ(empty.seen.size(), 2u);
  EXPECT_EQ(empty.seen[1].stage, ProgressStage::kEnding);
}

}  // namespace
}  // namespace qel
