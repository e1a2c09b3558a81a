// Encode and decode again through each of the seven writers: a picture built from the
// input is encoded into memory the way the file would be written, read back with the
// reader the viewer uses for that extension, and compared: pixel for pixel for the
// lossless formats (where a transparent picture's key colour may come back white),
// by size for JPEG and JPEG 2000. Input: a byte choosing the writer, a flag byte (bit 0
// transparent, bit 1 a palette, bit 2 few colours), width and height bytes, the palette
// size byte, then palette entries and pixels (the bytes repeat when they run out).
#include <array>
#include <set>
#include <string_view>
#include <vector>

#include "output/picture_writers.h"
#include "reader_fuzz.h"

namespace {

using qel::fuzz::Require;

struct Writer {
  std::string_view extension;
  void (*encode)(const qel::Picture&, qel::TStream&);
  bool lossless;
};

const std::array<Writer, 7> kWriters = {{
    {"bmp", &qel::WriteBmp, true},
    {"jp2", &qel::WriteJp2, false},
    {"tga", &qel::WriteTga, true},
    {"jpg", &qel::WriteJpeg, false},
    {"png", &qel::WritePng, true},
    {"gif", &qel::WriteGif, true},
    {"emf", &qel::WriteEmf, true},
}};

// The input's bytes one after the other, from the start again at the end (all 0x80 for
// an empty input).
class RepeatingBytes {
 public:
  RepeatingBytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t Next() {
    if (size_ == 0) return 0x80;
    const std::uint8_t byte = data_[at_];
    at_ = (at_ + 1) % size_;
    return byte;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

qel::Picture BuildPicture(qel::fuzz::FuzzInput& in, std::uint8_t flags) {
  const int width = 1 + in.Byte();
  const int height = 1 + in.Byte();
  const int palette_size = (flags & 2) ? 1 + in.Byte() : 0;
  RepeatingBytes bytes(in.Rest(), in.RestSize());
  qel::Picture picture = qel::NewPicture(width, height, qel::kNoColor);
  qel::Palette palette(static_cast<std::size_t>(palette_size));
  for (qel::PaletteEntry& entry : palette) entry = {bytes.Next(), bytes.Next(), bytes.Next(), 0};
  picture.SetPalette(std::move(palette));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      // Few colours: each channel keeps its top two bits, at most 64 colours in all.
      const std::uint8_t mask = (flags & 4) ? 0xC0 : 0xFF;
      picture.SetPixel(x, y, qel::RGBColor(bytes.Next() & mask, bytes.Next() & mask, bytes.Next() & mask));
    }
  }
  picture.SetTransparent(flags & 1);
  return picture;
}

std::size_t ColorCount(const qel::Picture& picture) {
  std::set<qel::TColor> colors;
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x) colors.insert(picture.Pixel(x, y));
  return colors.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qel::fuzz::FuzzInput in(data, size);
  const Writer& writer = kWriters[in.Byte() % kWriters.size()];
  const std::uint8_t flags = in.Byte();
  const qel::Picture picture = BuildPicture(in, flags);

  // A picture within every format's limits is always written, and read back.
  qel::TMemoryStream file;
  writer.encode(picture, file);
  qel::TMemoryStream written(file.TakeBytes());
  const qel::Picture back = qel::LoadPictureStream(written, qel::fuzz::ClassForExtension(writer.extension));
  qel::fuzz::CheckPicture(back);
  Require(back.Width() == picture.Width() && back.Height() == picture.Height());
  if (!writer.lossless) return 0;
  // GIF keeps every colour only while the picture has no more than its table's room.
  if (writer.extension == "gif" && ColorCount(picture) > 236) return 0;

  const bool keyed = picture.Transparent() && writer.extension != "bmp" && writer.extension != "tga";
  const qel::TColor key = picture.TransparentColor();
  for (int y = 0; y < picture.Height(); ++y) {
    for (int x = 0; x < picture.Width(); ++x) {
      const qel::TColor expected = picture.Pixel(x, y);
      const qel::TColor got = back.Pixel(x, y);
      if (keyed && expected == key) {
        Require(got == key || got == 0xFFFFFF);
      } else {
        Require(got == expected);
      }
    }
  }
  return 0;
}
