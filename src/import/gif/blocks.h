// The blocks of a GIF file up to the first image's data: the logical screen descriptor,
// colour tables, extensions (skipped), the image descriptor and its data sub-blocks.
// Every read goes through the stream, which raises EReadError when the file ends
// inside a block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/picture.h"

namespace qel {

class TStream;

// "GIF" and the version ("87a", "89a").
inline constexpr std::size_t kGifSignatureSize = 6;

// The introducers of the blocks that follow the screen descriptor.
namespace GifBlock {
inline constexpr std::uint8_t kExtension = 0x21;  // '!'
inline constexpr std::uint8_t kImage = 0x2C;      // ','
inline constexpr std::uint8_t kTrailer = 0x3B;    // ';'
}  // namespace GifBlock

// Bits of the packed bytes of both descriptors.
namespace GifPacked {
inline constexpr std::uint8_t kColorTable = 0x80;  // a colour table follows
inline constexpr std::uint8_t kInterlaced = 0x40;  // image descriptor only
inline constexpr std::uint8_t kTableSize = 0x07;   // the table holds 2^(n + 1) entries
}  // namespace GifPacked

struct GifScreenDescriptor {
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::uint8_t packed = 0;
  std::uint8_t background_index = 0;
  std::uint8_t aspect = 0;

  bool HasGlobalTable() const { return (packed & GifPacked::kColorTable) != 0; }
  int TableBits() const { return (packed & GifPacked::kTableSize) + 1; }
  std::size_t TableEntries() const { return std::size_t(1) << TableBits(); }
};

struct GifImageDescriptor {
  std::uint16_t left = 0;
  std::uint16_t top = 0;
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::uint8_t packed = 0;

  bool HasLocalTable() const { return (packed & GifPacked::kColorTable) != 0; }
  bool Interlaced() const { return (packed & GifPacked::kInterlaced) != 0; }
  int TableBits() const { return (packed & GifPacked::kTableSize) + 1; }
  std::size_t TableEntries() const { return std::size_t(1) << TableBits(); }
};

// The descriptors in file order (little-endian words).
GifScreenDescriptor ReadGifScreenDescriptor(TStream& stream);
GifImageDescriptor ReadGifImageDescriptor(TStream& stream);

// A colour table of entries red, green, blue triples.
Palette ReadGifColorTable(TStream& stream, std::size_t entries);

// Reads up to the next image descriptor or the trailer and returns its introducer
// (GifBlock::kImage or kTrailer); 0 when the stream ends first. Extensions are skipped
// with their sub-blocks; other stray bytes are passed over.
std::uint8_t SkipToGifImage(TStream& stream);

// Skips a chain of sub-blocks (size byte, that many bytes; size 0 ends it).
void SkipGifSubBlocks(TStream& stream);

// The data sub-blocks of an image joined into one buffer (at most the rest of the
// stream). A stream that ends before the terminating empty block raises EReadError,
// or, when complete is given, gives the bytes there are and sets *complete to false.
std::vector<std::uint8_t> ReadGifSubBlocks(TStream& stream, bool* complete = nullptr);

// The bitmap row each decoded row goes to, in decoding order: 0, 1, 2, ... or, for an
// interlaced image, rows 0, 8, 16, ..., then 4, 12, ..., then 2, 6, ..., then 1, 3, ...
std::vector<std::uint32_t> GifRowOrder(std::uint32_t height, bool interlaced);

}  // namespace qel
