#include "output/bmp_writer.h"

#include <algorithm>
#include <vector>

#include "imaging/stream.h"

namespace qel {

void WriteBmp(const Picture& picture, TStream& stream) {
  constexpr std::uint32_t kFileHeaderSize = 14, kInfoHeaderSize = 40;
  const Palette& palette = picture.GetPalette();
  const std::uint32_t colors = std::uint32_t(palette.size());
  const std::uint32_t row_size = std::uint32_t(picture.RowSize());
  const std::uint32_t image_size = row_size * std::uint32_t(picture.Height());
  const std::uint32_t offset = kFileHeaderSize + kInfoHeaderSize + 4 * colors;

  std::vector<std::uint8_t> header;
  header.reserve(offset);
  auto u16 = [&](std::uint32_t v) {
    header.push_back(std::uint8_t(v));
    header.push_back(std::uint8_t(v >> 8));
  };
  auto u32 = [&](std::uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  // BITMAPFILEHEADER
  header.push_back('B');
  header.push_back('M');
  u32(offset + image_size);
  u16(0);
  u16(0);
  u32(offset);
  // BITMAPINFOHEADER
  u32(kInfoHeaderSize);
  u32(std::uint32_t(picture.Width()));
  u32(std::uint32_t(picture.Height()));  // positive: rows bottom-up
  u16(1);                                // planes
  u16(24);                               // bits per pixel
  u32(0);                                // BI_RGB
  u32(image_size);
  u32(0);  // horizontal pixels per metre
  u32(0);  // vertical pixels per metre
  u32(colors);
  u32(0);  // colours important: all
  for (const PaletteEntry& e : palette) {
    header.push_back(e.blue);
    header.push_back(e.green);
    header.push_back(e.red);
    header.push_back(0);
  }
  stream.Write(header.data(), header.size());
  // Rows go out bottom-up, gathered into blocks of about kBlockBytes. The padding is
  // written as zeros whatever the picture's spare bytes hold.
  constexpr std::size_t kBlockBytes = std::size_t(1) << 20;
  const std::size_t rows_per_block =
      std::max<std::size_t>(1, kBlockBytes / std::max<std::size_t>(row_size, 1));
  std::vector<std::uint8_t> block(std::min(rows_per_block, std::size_t(picture.Height())) * row_size, 0);
  const std::size_t pixel_bytes = std::size_t(picture.Width()) * 3;
  std::size_t filled = 0;
  for (int y = picture.Height() - 1; y >= 0; --y) {
    std::copy_n(picture.Row(y), pixel_bytes, block.begin() + long(filled));
    filled += row_size;
    if (filled == block.size() || y == 0) {
      stream.Write(block.data(), filled);
      filled = 0;
    }
  }
}

}  // namespace qel
