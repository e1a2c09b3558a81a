// Which byte of a bitmap pixel each decoded JPEG 2000 component fills.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "import/jp2/boxes.h"

namespace qel {

enum class ChannelRole : std::uint8_t {
  Unspecified = 0,
  Red = 1,
  Green = 2,
  Blue = 3,
  Luma = 4,  // grey or Y
  ChromaBlue = 5,
  ChromaRed = 6,
  Opacity = 7,
};

// The colour spaces that decide roles.
enum class Jp2ColorSpace { kOther, kSRGB, kGray, kSYCC };

// What the codec reports about one decoded component.
struct DecodedComponentInfo {
  bool opacity_flag = false;  // the codec marked it as (non-premultiplied) opacity
};

// Roles of the components as the codec hands them back. The codec has already put the
// colour channels of a channel-definition box in the order of their associations and
// flagged the opacity channels, so component k carries association k + 1 when the box
// gives a colour channel that association. Without the box every role is Unspecified.
std::vector<ChannelRole> Jp2ComponentRoles(std::span<const DecodedComponentInfo> components,
                                           std::span<const Jp2ChannelDefinition> definitions,
                                           Jp2ColorSpace color_space);

// The byte within a pixel (0 blue, 1 green, 2 red, 3 the fourth byte) that the
// component with this role and index fills in a bitmap of working_count bytes a pixel,
// or -1 when it has no place there.
int Jp2TargetByte(ChannelRole role, int index, int working_count, Jp2ColorSpace color_space);

}  // namespace qel
