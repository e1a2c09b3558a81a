#include "import/jp2/boxes.h"

namespace qel {

namespace {

std::uint32_t U32BE(const std::uint8_t* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

std::uint16_t U16BE(const std::uint8_t* p) {
  return std::uint16_t((p[0] << 8) | p[1]);
}

void PutU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(std::uint8_t(v >> 8));
  out.push_back(std::uint8_t(v));
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::uint8_t(v >> shift));
}

// Appends a box of the given type and content; boxes too long for a 32-bit length
// use the extended length.
void PutBox(std::vector<std::uint8_t>& out, std::uint32_t type, std::span<const std::uint8_t> content) {
  const std::uint64_t length = 8 + std::uint64_t(content.size());
  if (length <= 0xFFFFFFFFu) {
    PutU32(out, std::uint32_t(length));
    PutU32(out, type);
  } else {
    PutU32(out, 1);
    PutU32(out, type);
    const std::uint64_t extended = length + 8;
    PutU32(out, std::uint32_t(extended >> 32));
    PutU32(out, std::uint32_t(extended));
  }
  out.insert(out.end(), content.begin(), content.end());
}

}  // namespace

std::vector<Jp2Box> ParseJp2Boxes(std::span<const std::uint8_t> data) {
  std::vector<Jp2Box> boxes;
  std::size_t at = 0;
  while (data.size() - at >= 8) {
    std::uint64_t length = U32BE(&data[at]);
    const std::uint32_t type = U32BE(&data[at + 4]);
    std::size_t header = 8;
    if (length == 1) {
      if (data.size() - at < 16) break;
      length = (std::uint64_t(U32BE(&data[at + 8])) << 32) | U32BE(&data[at + 12]);
      header = 16;
    } else if (length == 0) {
      length = data.size() - at;
    }
    if (length < header || length > data.size() - at) break;
    boxes.push_back(Jp2Box{type, data.subspan(at + header, std::size_t(length) - header)});
    at += std::size_t(length);
  }
  return boxes;
}

std::span<const std::uint8_t> FindJp2HeaderBox(std::span<const std::uint8_t> file, std::uint32_t type) {
  for (const Jp2Box& box : ParseJp2Boxes(file)) {
    if (box.type == jp2box::kCodestream) break;  // the header comes before the codestream
    if (box.type != jp2box::kHeader) continue;
    for (const Jp2Box& inner : ParseJp2Boxes(box.content)) {
      if (inner.type == type) return inner.content;
    }
    break;
  }
  return {};
}

int ReadJp2PaletteChannels(std::span<const std::uint8_t> file) {
  const std::span<const std::uint8_t> palette = FindJp2HeaderBox(file, jp2box::kPalette);
  return palette.size() >= 3 ? palette[2] : 0;
}

std::vector<Jp2ChannelDefinition> ReadJp2ChannelDefinitions(std::span<const std::uint8_t> file) {
  std::vector<Jp2ChannelDefinition> channels;
  const std::span<const std::uint8_t> box = FindJp2HeaderBox(file, jp2box::kChannelDefinition);
  if (box.size() < 2) return channels;
  const std::size_t count = U16BE(box.data());
  for (std::size_t i = 0; i < count && 2 + 6 * (i + 1) <= box.size(); ++i) {
    const std::uint8_t* entry = box.data() + 2 + 6 * i;
    channels.push_back(Jp2ChannelDefinition{U16BE(entry), U16BE(entry + 2), U16BE(entry + 4)});
  }
  return channels;
}

std::vector<std::uint8_t> BuildJp2File(const Jp2FileDescription& d,
                                       std::span<const std::uint8_t> codestream) {
  std::vector<std::uint8_t> out;
  out.reserve(codestream.size() + 128);

  static constexpr std::uint8_t kSignatureContent[] = {0x0D, 0x0A, 0x87, 0x0A};
  PutBox(out, jp2box::kSignature, kSignatureContent);

  std::vector<std::uint8_t> file_type;
  PutU32(file_type, jp2box::kBrandJp2);  // brand
  PutU32(file_type, 0);                  // minor version
  PutU32(file_type, jp2box::kBrandJp2);  // the one compatible brand
  PutBox(out, jp2box::kFileType, file_type);

  std::vector<std::uint8_t> image_header;
  PutU32(image_header, d.height);
  PutU32(image_header, d.width);
  PutU16(image_header, d.components);
  image_header.push_back(7);  // bits per component - 1, unsigned
  image_header.push_back(7);  // compression type: JPEG 2000
  image_header.push_back(0);  // the colour space is known
  image_header.push_back(0);  // no intellectual property box

  std::vector<std::uint8_t> colour;
  colour.push_back(1);  // method: enumerated colour space
  colour.push_back(0);  // precedence
  colour.push_back(0);  // approximation
  PutU32(colour, 16);   // sRGB

  std::vector<std::uint8_t> header;
  PutBox(header, jp2box::kImageHeader, image_header);
  PutBox(header, jp2box::kColour, colour);
  if (!d.channels.empty()) {
    std::vector<std::uint8_t> definitions;
    PutU16(definitions, std::uint16_t(d.channels.size()));
    for (const Jp2ChannelDefinition& c : d.channels) {
      PutU16(definitions, c.channel);
      PutU16(definitions, c.type);
      PutU16(definitions, c.association);
    }
    PutBox(header, jp2box::kChannelDefinition, definitions);
  }
  PutBox(out, jp2box::kHeader, header);

  PutBox(out, jp2box::kCodestream, codestream);
  return out;
}

}  // namespace qel
