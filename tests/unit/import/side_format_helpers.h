// Helpers shared by the tests of the PCX, portable map, SGI, Dr. Halo and Autodesk
// readers: loading from bytes, making fixtures with the peer tools, comparing with
// their decodes.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/errors.h"
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

// The text of the Error that loading the bytes raises; "" when it raises nothing.
template <typename T>
std::string LoadError(const Bytes& bytes) {
  try {
    LoadBytes<T>(bytes);
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

enum class Peer { kPillow, kPillowAlphaIgnored, kNetpbmPcx, kImageMagickAlphaOff };

inline std::optional<Picture> PeerPicture(Peer peer, const std::filesystem::path& file) {
  switch (peer) {
    case Peer::kPillow:
      return PillowDecode(file);
    case Peer::kPillowAlphaIgnored:
      return PillowDecode(file, true);
    case Peer::kNetpbmPcx:
      return PeerDecode("sh -c 'pcxtoppm \"$0\" > \"$1\"'", file);
    default:
      return PeerDecode("sh -c '/usr/bin/convert \"$0\" -alpha off -depth 8 ppm:\"$1\"'", file);
  }
}

// Loads the file through the format list, as the viewer does, and compares it with a
// peer's decode, pixel for pixel or within tolerance.
inline void ExpectMatchesPeer(const std::filesystem::path& file, Peer peer, int tolerance = 0) {
  const std::optional<Picture> theirs = PeerPicture(peer, file);
  ASSERT_TRUE(theirs.has_value()) << "no peer decode of " << file;
  const PictureDifference d = Compare(LoadPictureFile(file.string()), *theirs);
  EXPECT_TRUE(d.same_size && d.max_channel_difference <= tolerance)
      << file.filename() << ": " << d.Describe();
}

// Every prefix of good and copies with bytes overwritten (in the header, then
// anywhere) load or fail with an Error; nothing else may escape, and the sanitizer
// build catches any access out of bounds.
template <typename T>
void ExpectDamageFailsCleanly(const Bytes& good, std::size_t header_size) {
  std::uint32_t state = std::uint32_t(good.size());
  const auto next = [&] { return (state = state * 1664525u + 1013904223u) >> 8; };
  for (int trial = 0; trial < 240; ++trial) {
    Bytes bad = good;
    if (trial < 80) {
      bad.resize(next() % good.size());
    } else {
      const std::size_t span = trial < 160 ? std::min(header_size, bad.size()) : bad.size();
      for (int k = 0; k < 4; ++k) bad[next() % span] = std::uint8_t(next());
    }
    LoadError<T>(bad);
  }
}

}  // namespace qel::test
