// The resampler's progress notifications: what an observer is told, on which thread,
// and that telling it changes nothing of the result.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "imaging/errors.h"
#include "imaging/graphic.h"
#include "imaging/resample.h"
#include "imaging/resample/engine.h"
#include "support/test_support.h"

namespace qel {
namespace {

using resample::EngineOptions;

struct Notification {
  ProgressStage stage;
  int percent;
  TRect rect;
  std::string message;
  std::thread::id thread;
};

class Recorder : public ProgressObserver {
 public:
  std::vector<Notification> seen;
  int throw_at = -1;  // percent from which on the resize is stopped
  void OnProgress(ProgressStage stage, int percent, const TRect& rect, std::string_view message) override {
    seen.push_back({stage, percent, rect, std::string(message), std::this_thread::get_id()});
    if (throw_at >= 0 && percent >= throw_at && stage == ProgressStage::kRunning) throw Error("Stopped");
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

bool Same(const Picture& a, const Picture& b) {
  const auto d = test::Compare(a, b);
  return d.same_size && d.differing_pixels == 0;
}

// Starting, then running notifications with each percent once and rising to 100, then
// ending, all on this thread.
void ExpectWellFormed(const Recorder& recorder) {
  ASSERT_GE(recorder.seen.size(), 3u);
  EXPECT_EQ(recorder.seen.front().stage, ProgressStage::kStarting);
  EXPECT_EQ(recorder.seen.back().stage, ProgressStage::kEnding);
  int last = -1;
  for (std::size_t i = 0; i < recorder.seen.size(); ++i) {
    const Notification& n = recorder.seen[i];
    EXPECT_EQ(n.thread, std::this_thread::get_id());
    EXPECT_EQ(n.message, "Resizing...");
    if (i == 0 || i + 1 == recorder.seen.size()) continue;
    EXPECT_EQ(n.stage, ProgressStage::kRunning);
    EXPECT_GT(n.percent, last);
    last = n.percent;
  }
  EXPECT_EQ(last, 100);
}

TEST(ResampleProgress, BothEnginesReportOnTheCallersThreadWithoutChangingTheResult) {
  const Picture source = Pattern(301, 203);
  // Growing and shrinking each side: the fast engine streams rows or makes the whole
  // intermediate picture first (a large height reduction).
  for (const auto& [width, height] : {std::pair{150, 400}, std::pair{900, 50}, std::pair{3, 2}}) {
    Picture expected;
    ResampleInto(width, height, kFilterLanczos3, 0.0f, source, expected);
    for (const int threads : {1, 3}) {
      Recorder recorder;
      Picture actual;
      resample::ResampleIntoFast(width, height, kFilterLanczos3, 0.0f, source, actual, EngineOptions{threads},
                                 &recorder);
      EXPECT_TRUE(Same(actual, expected)) << width << "x" << height << " threads " << threads;
      ExpectWellFormed(recorder);
    }
    // The scalar engine: the rows of its first pass, then the columns of its second.
    Recorder recorder;
    Picture actual;
    resample::ResampleIntoReference(width, height, kFilterLanczos3, 0.0f, source, actual, &recorder);
    EXPECT_TRUE(Same(actual, expected));
    ExpectWellFormed(recorder);
    for (const Notification& n : recorder.seen) {
      if (n.stage != ProgressStage::kRunning) continue;
      if (n.percent <= 50) {
        EXPECT_EQ(n.rect.right, width);
        EXPECT_LE(n.rect.bottom, source.Height());
      } else {
        EXPECT_LE(n.rect.right, width);
        EXPECT_EQ(n.rect.bottom, height);
      }
    }
  }
}

TEST(ResampleProgress, AnObserverThatThrowsLeavesThePictureAsItWas) {
  const Picture source = Pattern(420, 300);
  for (const int threads : {1, 2}) {
    Picture picture = source;
    Recorder recorder;
    recorder.throw_at = 30;
    EXPECT_THROW(resample::ResampleIntoFast(200, 150, kFilterMitchell, 0.0f, picture, picture,
                                            EngineOptions{threads}, &recorder),
                 Error);
    EXPECT_TRUE(Same(picture, source));
  }
  // An empty target side: a starting and an ending notification only.
  Picture picture = source;
  Recorder empty;
  ResizePicture(picture, 0, 10, kFilterBox, &empty);
  ASSERT_EQ(empty.seen.size(), 2u);
  EXPECT_EQ(empty.seen[1].stage, ProgressStage::kEnding);
}

}  // namespace
}  // namespace qel
