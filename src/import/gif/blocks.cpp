#include "import/gif/blocks.h"

#include "imaging/errors.h"
#include "imaging/stream.h"

namespace qel {

GifScreenDescriptor ReadGifScreenDescriptor(TStream& stream) {
  GifScreenDescriptor d;
  d.width = stream.ReadU16LE();
  d.height = stream.ReadU16LE();
  d.packed = stream.ReadByte();
  d.background_index = stream.ReadByte();
  d.aspect = stream.ReadByte();
  return d;
}

GifImageDescriptor ReadGifImageDescriptor(TStream& stream) {
  GifImageDescriptor d;
  d.left = stream.ReadU16LE();
  d.top = stream.ReadU16LE();
  d.width = stream.ReadU16LE();
  d.height = stream.ReadU16LE();
  d.packed = stream.ReadByte();
  return d;
}

Palette ReadGifColorTable(TStream& stream, std::size_t entries) {
  const std::vector<std::uint8_t> bytes = stream.ReadBytes(entries * 3);
  Palette palette(entries);
  for (std::size_t i = 0; i < entries; ++i) {
    palette[i] = PaletteEntry{bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2], 0};
  }
  return palette;
}

std::uint8_t SkipToGifImage(TStream& stream) {
  while (stream.Remaining() > 0) {
    const std::uint8_t introducer = stream.ReadByte();
    if (introducer == GifBlock::kImage || introducer == GifBlock::kTrailer) return introducer;
    if (introducer != GifBlock::kExtension) continue;
    // Every extension (plain text, graphic control, comment, application and the
    // unknown ones) is a label followed by a chain of sub-blocks.
    stream.ReadByte();
    SkipGifSubBlocks(stream);
  }
  return 0;
}

void SkipGifSubBlocks(TStream& stream) {
  for (;;) {
    const std::uint8_t size = stream.ReadByte();
    if (size == 0) return;
    if (stream.Remaining() < size) throw EReadError();
    stream.Skip(size);
  }
}

std::vector<std::uint8_t> ReadGifSubBlocks(TStream& stream, bool* complete) {
  std::vector<std::uint8_t> data;
  if (complete) *complete = true;
  for (;;) {
    if (complete && stream.Remaining() == 0) {
      *complete = false;
      return data;
    }
    const std::uint8_t size = stream.ReadByte();
    if (size == 0) return data;
    const std::size_t start = data.size();
    data.resize(start + size);
    if (complete && stream.Remaining() < size) {
      data.resize(start + stream.Read(data.data() + start, size));
      *complete = false;
      return data;
    }
    stream.ReadBuffer(data.data() + start, size);
  }
}

std::vector<std::uint32_t> GifRowOrder(std::uint32_t height, bool interlaced) {
  std::vector<std::uint32_t> order;
  order.reserve(height);
  if (!interlaced) {
    for (std::uint32_t y = 0; y < height; ++y) order.push_back(y);
    return order;
  }
  static constexpr std::uint32_t kStart[] = {0, 4, 2, 1};
  static constexpr std::uint32_t kStep[] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    for (std::uint32_t y = kStart[pass]; y < height; y += kStep[pass]) order.push_back(y);
  }
  return order;
}

}  // namespace qel
