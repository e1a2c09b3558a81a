// Byte shuffles that take 16 BGR pixels (48 bytes, read as three 16-byte parts) apart
// into 16 blue, 16 green and 16 red bytes: mask [c][part] picks the bytes of channel c
// that lie in that part and zeroes the other positions (index 0x80).
#pragma once

#include <array>
#include <cstdint>

namespace qel::resample {

struct PlaneMasks {
  std::uint8_t bytes[3][3][16];
};

constexpr PlaneMasks MakePlaneMasks() {
  PlaneMasks masks{};
  for (int c = 0; c < 3; ++c) {
    for (int part = 0; part < 3; ++part) {
      for (int i = 0; i < 16; ++i) {
        const int source = 3 * i + c - 16 * part;
        masks.bytes[c][part][i] = (source >= 0 && source < 16) ? std::uint8_t(source) : std::uint8_t(0x80);
      }
    }
  }
  return masks;
}

}  // namespace qel::resample
