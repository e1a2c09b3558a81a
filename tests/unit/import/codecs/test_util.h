// Test helpers for the codecs: decoding with guard bytes around the output and poison
// bytes after the input, so that a decoder that writes or reads past its limits shows.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "import/codecs/decoder.h"

namespace qel::test {

inline constexpr std::uint8_t kGuard = 0xEE;
inline constexpr std::size_t kGuardSize = 64;

// Decodes the first packed_size bytes of input (the rest, if any, is poison the decoder
// must not read) into unpacked_size bytes, and checks that the bytes after the output
// are untouched. The output starts out as fill.
inline std::vector<std::uint8_t> DecodeBounded(TDecoder& decoder, const std::vector<std::uint8_t>& input,
                                               std::size_t packed_size, std::size_t unpacked_size,
                                               std::uint8_t fill = 0) {
  std::vector<std::uint8_t> output(unpacked_size + kGuardSize, kGuard);
  std::fill(output.begin(), output.begin() + static_cast<std::ptrdiff_t>(unpacked_size), fill);
  const std::uint8_t* source = input.data();
  std::uint8_t* dest = output.data();
  decoder.DecodeInit();
  decoder.Decode(source, dest, packed_size, unpacked_size);
  decoder.DecodeEnd();
  for (std::size_t i = unpacked_size; i < output.size(); ++i) {
    if (output[i] != kGuard) {
      ADD_FAILURE() << "byte " << i - unpacked_size << " after the output was written";
      break;
    }
  }
  output.resize(unpacked_size);
  return output;
}

// Decodes all of input.
inline std::vector<std::uint8_t> DecodeAll(TDecoder& decoder, const std::vector<std::uint8_t>& input,
                                           std::size_t unpacked_size, std::uint8_t fill = 0) {
  return DecodeBounded(decoder, input, input.size(), unpacked_size, fill);
}

inline std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> v;
  for (int x : values) v.push_back(static_cast<std::uint8_t>(x));
  return v;
}

inline std::vector<std::uint8_t> Repeat(std::uint8_t value, std::size_t count) {
  return std::vector<std::uint8_t>(count, value);
}

inline std::vector<std::uint8_t> Concat(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace qel::test
