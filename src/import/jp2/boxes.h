// The box structure of JP2 files: reading the boxes (to find the channel definitions
// of the header) and writing the boxes around a codestream.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace qel {

constexpr std::uint32_t Jp2BoxType(const char (&name)[5]) {
  return (std::uint32_t(std::uint8_t(name[0])) << 24) | (std::uint32_t(std::uint8_t(name[1])) << 16) |
         (std::uint32_t(std::uint8_t(name[2])) << 8) | std::uint32_t(std::uint8_t(name[3]));
}

namespace jp2box {
inline constexpr std::uint32_t kSignature = Jp2BoxType("jP  ");
inline constexpr std::uint32_t kFileType = Jp2BoxType("ftyp");
inline constexpr std::uint32_t kHeader = Jp2BoxType("jp2h");
inline constexpr std::uint32_t kImageHeader = Jp2BoxType("ihdr");
inline constexpr std::uint32_t kColour = Jp2BoxType("colr");
inline constexpr std::uint32_t kChannelDefinition = Jp2BoxType("cdef");
inline constexpr std::uint32_t kPalette = Jp2BoxType("pclr");
inline constexpr std::uint32_t kCodestream = Jp2BoxType("jp2c");
inline constexpr std::uint32_t kBrandJp2 = Jp2BoxType("jp2 ");
}  // namespace jp2box

struct Jp2Box {
  std::uint32_t type = 0;
  std::span<const std::uint8_t> content;  // the box's bytes after its length and type
};

// The boxes laid one after another in data. Stops at the first box whose length does
// not fit in what is left; a length of 0 means "to the end of data".
std::vector<Jp2Box> ParseJp2Boxes(std::span<const std::uint8_t> data);

// One entry of a channel-definition box: channel number, type (0 colour, 1 opacity,
// 2 premultiplied opacity) and association (0 the whole image, 1.. a colour).
struct Jp2ChannelDefinition {
  std::uint16_t channel = 0;
  std::uint16_t type = 0;
  std::uint16_t association = 0;
  friend bool operator==(const Jp2ChannelDefinition&, const Jp2ChannelDefinition&) = default;
};

// The content of the first box of this type inside the header box of a JP2 file;
// empty when there is none.
std::span<const std::uint8_t> FindJp2HeaderBox(std::span<const std::uint8_t> file, std::uint32_t type);

// The number of channels the palette box of a JP2 header expands an index into (0 when
// the file has no palette).
int ReadJp2PaletteChannels(std::span<const std::uint8_t> file);

// The entries of the channel-definition box inside the header box of a JP2 file;
// empty when there is none (or the file is a raw codestream). Entries that the box's
// length does not hold are left out.
std::vector<Jp2ChannelDefinition> ReadJp2ChannelDefinitions(std::span<const std::uint8_t> file);

// What the boxes around a codestream say about the image written: 8-bit unsigned
// components, enumerated sRGB colour.
struct Jp2FileDescription {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint16_t components = 0;
  std::vector<Jp2ChannelDefinition> channels;  // written as a channel-definition box when not empty
};

// A complete JP2 file: signature, file type, header (image header, colour, channel
// definitions) and the codestream box.
std::vector<std::uint8_t> BuildJp2File(const Jp2FileDescription& description,
                                       std::span<const std::uint8_t> codestream);

}  // namespace qel
