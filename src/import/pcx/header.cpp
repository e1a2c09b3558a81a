#include "import/pcx/header.h"

#include <algorithm>

namespace qel {

PcxHeader ParsePcxHeader(std::span<const std::uint8_t, kPcxHeaderSize> b) {
  const auto u16 = [&](std::size_t at) { return std::uint16_t(b[at] | (b[at + 1] << 8)); };
  PcxHeader h;
  h.manufacturer = b[0];
  h.version = b[1];
  h.encoding = b[2];
  h.bits_per_pixel = b[3];
  h.x_min = u16(4);
  h.y_min = u16(6);
  h.x_max = u16(8);
  h.y_max = u16(10);
  h.h_dpi = u16(12);
  h.v_dpi = u16(14);
  std::copy_n(b.begin() + 16, h.palette16.size(), h.palette16.begin());
  h.reserved = b[64];
  h.planes = b[65];
  h.bytes_per_line = u16(66);
  h.palette_info = u16(68);
  return h;
}

}  // namespace qel
