#include "import/jp2/roles.h"

#include <algorithm>

namespace qel {

namespace {

constexpr std::uint16_t kColourChannel = 0;
constexpr std::uint16_t kOpacityChannel = 1;

ChannelRole ColourRole(std::uint16_t association, Jp2ColorSpace space) {
  switch (space) {
    case Jp2ColorSpace::kSRGB:
      if (association == 1) return ChannelRole::Red;
      if (association == 2) return ChannelRole::Green;
      if (association == 3) return ChannelRole::Blue;
      break;
    case Jp2ColorSpace::kGray:
      if (association == 1) return ChannelRole::Luma;
      break;
    case Jp2ColorSpace::kSYCC:
      if (association == 1) return ChannelRole::Luma;
      if (association == 2) return ChannelRole::ChromaBlue;
      if (association == 3) return ChannelRole::ChromaRed;
      break;
    case Jp2ColorSpace::kOther:
      break;
  }
  return ChannelRole::Unspecified;
}

}  // namespace

std::vector<ChannelRole> Jp2ComponentRoles(std::span<const DecodedComponentInfo> components,
                                           std::span<const Jp2ChannelDefinition> definitions,
                                           Jp2ColorSpace color_space) {
  std::vector<ChannelRole> roles(components.size(), ChannelRole::Unspecified);
  if (definitions.empty()) return roles;
  const bool has_opacity = std::any_of(
      definitions.begin(), definitions.end(),
      [](const Jp2ChannelDefinition& d) { return d.type == kOpacityChannel && d.association == 0; });
  for (std::size_t k = 0; k < components.size(); ++k) {
    if (components[k].opacity_flag) {
      if (has_opacity) roles[k] = ChannelRole::Opacity;
      continue;
    }
    const std::uint16_t association = std::uint16_t(k + 1);
    const bool defined =
        std::any_of(definitions.begin(), definitions.end(), [&](const Jp2ChannelDefinition& d) {
          return d.type == kColourChannel && d.association == association;
        });
    if (defined) roles[k] = ColourRole(association, color_space);
  }
  return roles;
}

int Jp2TargetByte(ChannelRole role, int index, int working_count, Jp2ColorSpace color_space) {
  if (working_count == 1) return index == 0 ? 0 : -1;
  int byte = -1;
  switch (role) {
    case ChannelRole::Unspecified:
      // Colour components in red, green, blue order; a fourth one is taken as opacity.
      byte = index < 3 ? 2 - index : 3;
      break;
    case ChannelRole::Red:
      byte = 2;
      break;
    case ChannelRole::Green:
      byte = 1;
      break;
    case ChannelRole::Blue:
      byte = 0;
      break;
    case ChannelRole::Luma:
      byte = color_space == Jp2ColorSpace::kSYCC ? 2 : 0;
      break;
    case ChannelRole::ChromaBlue:
      byte = 1;
      break;
    case ChannelRole::ChromaRed:
      byte = 0;
      break;
    case ChannelRole::Opacity:
      byte = 3;
      break;
  }
  return byte < working_count ? byte : -1;
}

}  // namespace qel
