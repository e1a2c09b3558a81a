// Helpers shared by the tests of the PCX, portable map, SGI, Dr. Halo and Autodesk
// readers: loading from bytes, running the peer tools, comparing with their decodes.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/errors.h"
#include "imaging/graphic.h"
#include "imaging/picture_container.h"
#include "imaging/stream.h"
#include "support/test_support.h"

namespace qel::test {

using Bytes = std::vector<std::uint8_t>;

template <typename T>
std::unique_ptr<T> LoadBytes(const Bytes& bytes) {
  TMemoryStream stream(bytes);
  auto graphic = std::make_unique<T>();
  graphic->LoadFromStream(stream);
  return graphic;
}

// The text of the Error that body raises; "" when it raises nothing.
inline std::string ErrorText(const std::function<void()>& body) {
  try {
    body();
  } catch (const Error& e) {
    return e.what();
  }
  return "";
}

// Runs a shell command that makes a fixture; fails the test when it does not succeed.
inline void Make(const std::string& command) {
  std::string output;
  ASSERT_EQ(RunCommand(command, &output), 0) << command << "\n" << output;
}

// Loads the file through the format list, as the viewer does, and compares it with a
// peer's decode, pixel for pixel (or within tolerance).
inline void ExpectMatchesPeer(const std::filesystem::path& file, const std::optional<Picture>& peer,
                              int tolerance = 0) {
  ASSERT_TRUE(peer.has_value()) << "no peer decode of " << file;
  const Picture ours = LoadPictureFile(file.string());
  const PictureDifference d = Compare(ours, *peer);
  EXPECT_TRUE(d.same_size && d.max_channel_difference <= tolerance)
      << file.filename() << ": " << d.Describe() << " (ours " << ours.Width() << " x " << ours.Height()
      << ", peer " << peer->Width() << " x " << peer->Height() << ")";
}

// Records the progress notifications of a load.
class ProgressRecorder : public ProgressObserver {
 public:
  void OnProgress(ProgressStage stage, int percent, const TRect&, std::string_view message) override {
    entries.push_back(std::to_string(int(stage)) + ":" + std::to_string(percent) + ":" +
                      std::string(message));
  }
  void OnWarning(std::string_view) override {}
  std::vector<std::string> entries;
};

// Every prefix of good and copies with bytes overwritten load or fail with an Error;
// nothing else may escape (the sanitizer build catches reads out of bounds).
template <typename T>
void ExpectDamageFailsCleanly(const Bytes& good, std::size_t header_size, unsigned seed) {
  std::uint32_t state = seed;
  const auto next = [&] {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  for (int trial = 0; trial < 240; ++trial) {
    Bytes bad = good;
    if (trial < 80) {
      bad.resize(next() % good.size());
    } else {
      const std::size_t span = trial < 160 ? std::min(header_size, bad.size()) : bad.size();
      for (int k = 0; k < 4; ++k) bad[next() % span] = std::uint8_t(next());
    }
    TMemoryStream stream(bad);
    T graphic;
    try {
      graphic.LoadFromStream(stream);
    } catch (const Error&) {
    }
  }
}

}  // namespace qel::test
