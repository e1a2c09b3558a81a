// A TIFF LZW encoder for building test strips and benchmark inputs: 9 to 12 bit codes,
// most significant bit first, one code early in widening, as TIFF writers make them.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace qel::test {

// clear_when_full: a clear code when the table is full, as common writers do; otherwise
// the table stays full and codes stay 12 bits wide. end_code: the strip ends with the
// end-of-information code.
inline std::vector<std::uint8_t> TiffLzwEncode(const std::vector<std::uint8_t>& data,
                                               bool clear_when_full = true, bool end_code = true) {
  std::vector<std::uint8_t> out;
  std::uint64_t bits = 0;
  int held = 0;
  unsigned width = 9;
  auto put = [&](unsigned code) {
    bits = (bits << width) | code;
    held += int(width);
    while (held >= 8) {
      out.push_back(std::uint8_t(bits >> (held - 8)));
      held -= 8;
    }
  };
  std::unordered_map<std::uint32_t, unsigned> table;
  unsigned next = 258;
  put(256);
  if (!data.empty()) {
    unsigned current = data[0];
    for (std::size_t i = 1; i < data.size(); ++i) {
      const std::uint32_t key = current << 8 | data[i];
      if (auto it = table.find(key); it != table.end()) {
        current = it->second;
        continue;
      }
      put(current);
      if (next < 4096) table.emplace(key, next++);
      if (next == (1u << width) && width < 12) ++width;
      if (clear_when_full && next == 4094) {
        put(256);
        table.clear();
        next = 258;
        width = 9;
      }
      current = data[i];
    }
    put(current);
  }
  if (end_code) put(257);
  if (held > 0) out.push_back(std::uint8_t(bits << (8 - held)));
  return out;
}

}  // namespace qel::test
