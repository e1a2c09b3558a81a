// The TIFF LZW decoder that copies strings from earlier output against the plain one
// that rebuilds every string from its prefix chain: the same bytes for valid strips of
// every shape, for damaged and random ones, and for every output size, with the bytes
// after the decoded data left as the caller had them.
#include <gtest/gtest.h>

#include <random>

#include "import/codecs/tiff_lzw_decoder.h"
#include "support/tiff_lzw_encoder.h"
#include "unit/import/codecs/test_util.h"

namespace qel {
namespace {

// Both decoders over the same input into outputs that start out as fill.
void ExpectSameDecoding(const std::vector<std::uint8_t>& packed, std::size_t packed_size,
                        std::size_t unpacked, std::uint8_t fill) {
  TTIFFLZWDecoder fast;
  TTIFFLZWChainDecoder chain;
  const auto expected = test::DecodeBounded(chain, packed, packed_size, unpacked, fill);
  ASSERT_EQ(test::DecodeBounded(fast, packed, packed_size, unpacked, fill), expected)
      << packed_size << " bytes in, " << unpacked << " out, fill " << int(fill);
}

// Data that makes long strings, strings of one repeated byte (a code that stands for
// the previous string and its own first byte), and short ones.
std::vector<std::uint8_t> Data(std::mt19937& rng, std::size_t size, int kind) {
  std::vector<std::uint8_t> data(size);
  std::uint8_t v = 0;
  for (std::size_t i = 0; i < size; ++i) {
    switch (kind) {
      case 0:  // runs of one byte
        if (rng() % 40 == 0) v = std::uint8_t(rng());
        break;
      case 1:  // few symbols: long strings, the table fills
        v = std::uint8_t(rng() % 3);
        break;
      case 2:  // a repeated pattern: very long strings
        v = std::uint8_t((i % 17) * 13);
        break;
      default:  // noise: short strings
        v = std::uint8_t(rng());
    }
    data[i] = v;
  }
  return data;
}

TEST(CodecsLZWFast, ValidStripsOfEveryShape) {
  std::mt19937 rng(17);
  for (int round = 0; round < 60; ++round) {
    const std::size_t size = round < 10 ? std::size_t(round) : std::size_t(rng() % 70000);
    const auto data = Data(rng, size, round % 4);
    for (const bool clear : {true, false}) {
      const auto packed = test::TiffLzwEncode(data, clear);
      TTIFFLZWDecoder fast;
      ASSERT_EQ(test::DecodeAll(fast, packed, data.size()), data) << size << " bytes, kind " << round % 4;
      // Cut short, asked for more than there is, and without the end code.
      ExpectSameDecoding(packed, packed.size(), size / 3, 0x5A);
      ExpectSameDecoding(packed, packed.size(), size + 50, 0xA5);
      ExpectSameDecoding(packed, packed.size() / 2, size, 0x33);
      const auto open_ended = test::TiffLzwEncode(data, clear, false);
      ExpectSameDecoding(open_ended, open_ended.size(), size + 9, 0x77);
    }
  }
}

TEST(CodecsLZWFast, DamagedAndRandomStrips) {
  std::mt19937 rng(29);
  for (int round = 0; round < 300; ++round) {
    std::vector<std::uint8_t> packed;
    if (round % 3 == 0) {
      packed.resize(rng() % 3000);
      for (auto& b : packed) b = std::uint8_t(rng());
    } else {
      packed = test::TiffLzwEncode(Data(rng, rng() % 20000, round % 4), round % 2 == 0);
      // Flipped bits give codes beyond the table, stray clear and end codes, and
      // strings that refer to the entry being made.
      for (int flips = int(rng() % 8); flips > 0 && !packed.empty(); --flips)
        packed[rng() % packed.size()] ^= std::uint8_t(1u << (rng() % 8));
    }
    ExpectSameDecoding(packed, packed.size(), rng() % 40000, std::uint8_t(rng()));
  }
}

TEST(CodecsLZWFast, TinyOutputs) {
  std::mt19937 rng(3);
  const auto packed = test::TiffLzwEncode(Data(rng, 5000, 0), true);
  for (std::size_t unpacked = 0; unpacked < 40; ++unpacked)
    ExpectSameDecoding(packed, packed.size(), unpacked, 0xC3);
}

}  // namespace
}  // namespace qel
