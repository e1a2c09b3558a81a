// Windows icon files built byte by byte: images of any size and depth with their masks.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "imaging/picture.h"

namespace qel::test {

// One image of an icon: an indexed or 32-bit colour bitmap and its AND mask.
struct IconImage {
  int width = 0, height = 0;
  std::uint16_t bits = 4;
  std::vector<TColor> palette;
  // Pixel (x, y), y from the top: a palette index, or 0xAARRGGBB for 32 bits.
  std::function<std::uint32_t(int, int)> pixel;
  std::function<bool(int, int)> masked = [](int, int) { return false; };
};

inline std::vector<std::uint8_t> BuildIco(const std::vector<IconImage>& images) {
  using Bytes = std::vector<std::uint8_t>;
  const auto PutU16 = [](Bytes& b, std::uint32_t v) {
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
  };
  const auto PutU32 = [&](Bytes& b, std::uint32_t v) {
    PutU16(b, v & 0xFFFF);
    PutU16(b, v >> 16);
  };
  std::vector<Bytes> dibs;
  for (const IconImage& im : images) {
    Bytes d;
    PutU32(d, 40);
    PutU32(d, std::uint32_t(im.width));
    PutU32(d, std::uint32_t(im.height * 2));
    PutU16(d, 1);
    PutU16(d, im.bits);
    for (int i = 0; i < 6; ++i) PutU32(d, i == 4 ? std::uint32_t(im.palette.size()) : 0);
    for (TColor c : im.palette) {
      d.insert(d.end(), {BlueOf(c), GreenOf(c), RedOf(c), 0});
    }
    const std::size_t row = ((std::size_t(im.width) * im.bits + 31) / 32) * 4;
    const std::size_t mask_row = ((std::size_t(im.width) + 31) / 32) * 4;
    for (int y = im.height - 1; y >= 0; --y) {
      Bytes r(row, 0);
      for (int x = 0; x < im.width; ++x) {
        const std::uint32_t v = im.pixel(x, y);
        if (im.bits == 32) {
          for (int c = 0; c < 4; ++c) r[4 * std::size_t(x) + std::size_t(c)] = std::uint8_t(v >> (8 * c));
        } else if (im.bits == 8) {
          r[std::size_t(x)] = std::uint8_t(v);
        } else {
          r[std::size_t(x) / 2] |= std::uint8_t(x & 1 ? v : v << 4);
        }
      }
      d.insert(d.end(), r.begin(), r.end());
    }
    for (int y = im.height - 1; y >= 0; --y) {
      Bytes r(mask_row, 0);
      for (int x = 0; x < im.width; ++x) {
        if (im.masked(x, y)) r[std::size_t(x) / 8] |= std::uint8_t(0x80 >> (x % 8));
      }
      d.insert(d.end(), r.begin(), r.end());
    }
    dibs.push_back(std::move(d));
  }
  Bytes ico;
  PutU16(ico, 0);
  PutU16(ico, 1);
  PutU16(ico, std::uint32_t(images.size()));
  std::uint32_t offset = 6 + 16 * std::uint32_t(images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    const IconImage& im = images[i];
    ico.push_back(std::uint8_t(im.width & 0xFF));
    ico.push_back(std::uint8_t(im.height & 0xFF));
    ico.push_back(std::uint8_t(im.bits < 8 ? 1 << im.bits : 0));
    ico.push_back(0);
    PutU16(ico, 1);
    PutU16(ico, im.bits);
    PutU32(ico, std::uint32_t(dibs[i].size()));
    PutU32(ico, offset);
    offset += std::uint32_t(dibs[i].size());
  }
  for (const Bytes& d : dibs) ico.insert(ico.end(), d.begin(), d.end());
  return ico;
}

// A 4-bit icon whose mask hides the left column and the bottom row.
inline IconImage MaskedIcon() {
  IconImage im{8, 8, 4, {0x000000, 0x0000FF, 0x00FF00, 0xFF0000}, [](int x, int y) {
                 return std::uint32_t((x + y) % 4);
               }};
  im.masked = [](int x, int y) { return x == 0 || y == 7; };
  return im;
}

}  // namespace qel::test
