// Tiled TIFF files, built from the input so that every run takes the tile path of the
// TIFF reader. Input (little-endian): u16 width, u16 height, u16 tile width, u16 tile
// length, bits per sample, samples per pixel, u16 compression, photometric, a flags
// byte (bit 0 separate planes, bit 1 fill order 2, bit 2 predictor 2, bits 3-4 the
// ExtraSamples tag: none, 0, 1 or 2, bit 5 the first chunk is the JPEG tables), the
// orientation, the T.4 options, the YCbCr subsampling (horizontal in the low nibble,
// vertical in the high one; photometric 6 only), then chunks of a u16 length and that many bytes: the
// tiles in order, each tile's byte count its chunk's length. Palette images (photometric
// 3) get a colour map made up here.
#include <vector>

#include "reader_fuzz.h"

namespace {

class TiffWriter {
 public:
  // Appends bytes at an even offset; returns the offset.
  std::uint32_t Data(const std::vector<std::uint8_t>& bytes) {
    if (file_.size() % 2) file_.push_back(0);
    const auto offset = static_cast<std::uint32_t>(file_.size());
    file_.insert(file_.end(), bytes.begin(), bytes.end());
    return offset;
  }
  void Short(std::uint16_t tag, std::uint32_t value) { entries_.push_back({tag, 3, 1, value & 0xFFFF}); }
  void ShortPair(std::uint16_t tag, std::uint32_t first, std::uint32_t second) {
    entries_.push_back({tag, 3, 2, (first & 0xFFFF) | (second << 16)});
  }
  void Long(std::uint16_t tag, std::uint32_t value) { entries_.push_back({tag, 4, 1, value}); }
  void Longs(std::uint16_t tag, const std::vector<std::uint32_t>& values) {
    if (values.size() == 1) return Long(tag, values[0]);
    std::vector<std::uint8_t> bytes;
    for (std::uint32_t v : values) Put(bytes, v, 4);
    entries_.push_back({tag, 4, static_cast<std::uint32_t>(values.size()), Data(bytes)});
  }
  void Shorts(std::uint16_t tag, const std::vector<std::uint32_t>& values) {
    std::vector<std::uint8_t> bytes;
    for (std::uint32_t v : values) Put(bytes, v, 2);
    entries_.push_back({tag, 3, static_cast<std::uint32_t>(values.size()), Data(bytes)});
  }
  void Bytes(std::uint16_t tag, const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() <= 4) {
      std::uint32_t field = 0;
      for (std::size_t i = 0; i < bytes.size(); ++i) field |= std::uint32_t{bytes[i]} << (8 * i);
      entries_.push_back({tag, 7, static_cast<std::uint32_t>(bytes.size()), field});
    } else {
      entries_.push_back({tag, 7, static_cast<std::uint32_t>(bytes.size()), Data(bytes)});
    }
  }
  // The file: the header, the data, then the directory (entries in the order given; the
  // reader sorts them).
  std::vector<std::uint8_t> Build() {
    if (file_.size() % 2) file_.push_back(0);
    const auto directory = static_cast<std::uint32_t>(file_.size());
    for (int i = 0; i < 4; ++i) file_[4 + i] = static_cast<std::uint8_t>(directory >> (8 * i));
    Put(file_, static_cast<std::uint32_t>(entries_.size()), 2);
    for (const Entry& e : entries_) {
      Put(file_, e.tag, 2);
      Put(file_, e.type, 2);
      Put(file_, e.count, 4);
      Put(file_, e.field, 4);  // a SHORT value is left-aligned in the field
    }
    Put(file_, 0, 4);
    return std::move(file_);
  }

 private:
  struct Entry {
    std::uint16_t tag, type;
    std::uint32_t count, field;
  };
  static void Put(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  std::vector<std::uint8_t> file_{'I', 'I', 42, 0, 0, 0, 0, 0};
  std::vector<Entry> entries_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qel::fuzz::FuzzInput in(data, size);
  const std::uint32_t width = in.U16(), height = in.U16(), tile_width = in.U16(), tile_length = in.U16();
  const std::uint32_t bits = in.Byte(), samples = in.Byte(), compression = in.U16(), photometric = in.Byte();
  const std::uint8_t flags = in.Byte();
  const std::uint32_t orientation = in.Byte(), t4_options = in.Byte(), subsampling = in.Byte();

  TiffWriter tiff;
  std::vector<std::uint32_t> offsets, counts;
  bool tables = (flags & 0x20) != 0;
  while (in.RestSize() > 0) {
    const std::vector<std::uint8_t> chunk = in.Take(in.U16());
    if (tables) {
      tiff.Bytes(347, chunk);
      tables = false;
      continue;
    }
    offsets.push_back(tiff.Data(chunk));
    counts.push_back(static_cast<std::uint32_t>(chunk.size()));
  }
  tiff.Long(256, width);
  tiff.Long(257, height);
  tiff.Longs(258, std::vector<std::uint32_t>(samples ? samples : 1, bits));
  tiff.Short(259, compression);
  tiff.Short(262, photometric);
  tiff.Short(274, orientation);
  tiff.Short(277, samples);
  tiff.Short(284, flags & 1 ? 2 : 1);
  tiff.Short(266, flags & 2 ? 2 : 1);
  if (flags & 4) tiff.Short(317, 2);
  if (flags & 0x18) tiff.Short(338, ((flags >> 3) & 3) - 1u);
  tiff.Long(292, t4_options);
  tiff.Long(322, tile_width);
  tiff.Long(323, tile_length);
  if (!offsets.empty()) {
    tiff.Longs(324, offsets);
    tiff.Longs(325, counts);
  }
  if (photometric == 3) {  // a colour map made up here: any colours will do
    const std::uint32_t colors = 1u << (bits < 8 ? bits : 8);
    std::vector<std::uint32_t> map(3 * colors);
    for (std::uint32_t i = 0; i < map.size(); ++i) map[i] = (i * 0x9E37u) & 0xFFFF;
    tiff.Shorts(320, map);
  }
  if (photometric == 6) tiff.ShortPair(530, subsampling & 0x0F, subsampling >> 4);
  std::vector<std::uint8_t> file = tiff.Build();
  return qel::fuzz::LoadAsExtension("tif", file.data(), file.size());
}
