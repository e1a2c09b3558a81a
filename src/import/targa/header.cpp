#include "import/targa/header.h"

#include "imaging/stream.h"

namespace qel {

namespace {

std::uint16_t Word(const std::array<std::uint8_t, kTargaHeaderSize>& b, std::size_t at) {
  return std::uint16_t(b[at] | (b[at + 1] << 8));
}

void PutWord(std::array<std::uint8_t, kTargaHeaderSize>& b, std::size_t at, std::uint16_t v) {
  b[at] = std::uint8_t(v & 0xFF);
  b[at + 1] = std::uint8_t(v >> 8);
}

}  // namespace

bool TargaHeader::IsKnownType() const {
  switch (Type()) {
    case TargaImageType::kNoImage:
    case TargaImageType::kColorMapped:
    case TargaImageType::kTrueColor:
    case TargaImageType::kGrayscale:
    case TargaImageType::kColorMappedRLE:
    case TargaImageType::kTrueColorRLE:
    case TargaImageType::kGrayscaleRLE:
      return true;
  }
  return false;
}

bool TargaHeader::IsEncoded() const {
  return Type() == TargaImageType::kColorMappedRLE || Type() == TargaImageType::kTrueColorRLE ||
         Type() == TargaImageType::kGrayscaleRLE;
}

bool TargaHeader::IsGrayscale() const {
  return Type() == TargaImageType::kGrayscale || Type() == TargaImageType::kGrayscaleRLE;
}

bool TargaHeader::IsColorMapped() const {
  return Type() == TargaImageType::kColorMapped || Type() == TargaImageType::kColorMappedRLE;
}

std::uint32_t TargaHeader::ColorMapBytes() const {
  if (!HasColorMap()) return 0;
  // Every entry takes whole bytes: a 15-bit entry is stored in two.
  return std::uint32_t(color_map_length) * ((std::uint32_t(color_map_entry_bits) + 7) / 8);
}

TargaHeader ParseTargaHeader(const std::array<std::uint8_t, kTargaHeaderSize>& b) {
  TargaHeader h;
  h.id_length = b[0];
  h.color_map_type = b[1];
  h.image_type = b[2];
  h.color_map_first = Word(b, 3);
  h.color_map_length = Word(b, 5);
  h.color_map_entry_bits = b[7];
  h.x_origin = Word(b, 8);
  h.y_origin = Word(b, 10);
  h.width = Word(b, 12);
  h.height = Word(b, 14);
  h.pixel_depth = b[16];
  h.descriptor = b[17];
  return h;
}

std::array<std::uint8_t, kTargaHeaderSize> SerializeTargaHeader(const TargaHeader& h) {
  std::array<std::uint8_t, kTargaHeaderSize> b{};
  b[0] = h.id_length;
  b[1] = h.color_map_type;
  b[2] = h.image_type;
  PutWord(b, 3, h.color_map_first);
  PutWord(b, 5, h.color_map_length);
  b[7] = h.color_map_entry_bits;
  PutWord(b, 8, h.x_origin);
  PutWord(b, 10, h.y_origin);
  PutWord(b, 12, h.width);
  PutWord(b, 14, h.height);
  b[16] = h.pixel_depth;
  b[17] = h.descriptor;
  return b;
}

TargaHeader ReadTargaHeader(TStream& stream) {
  std::array<std::uint8_t, kTargaHeaderSize> bytes;
  stream.ReadBuffer(bytes.data(), bytes.size());
  return ParseTargaHeader(bytes);
}

void WriteTargaHeader(TStream& stream, const TargaHeader& header) {
  const auto bytes = SerializeTargaHeader(header);
  stream.Write(bytes.data(), bytes.size());
}

}  // namespace qel
