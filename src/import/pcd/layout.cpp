#include "import/pcd/layout.h"

#include <cstring>

namespace qel {

namespace {

constexpr std::size_t kAttributes = 3586;
constexpr std::size_t kSubimageCount = 10;

}  // namespace

PcdHeader ParsePcdHeader(const std::array<std::uint8_t, kPcdHeaderSize>& bytes) {
  PcdHeader h;
  h.is_overview = std::memcmp(bytes.data(), "PCD_OPA", 7) == 0;
  h.is_image_pack = std::memcmp(bytes.data() + kPcdSectorSize, "PCD", 3) == 0;
  h.subimage_count = std::uint16_t(bytes[kSubimageCount] << 8 | bytes[kSubimageCount + 1]);
  h.rotation = PcdRotation(bytes[kAttributes] & 3);
  return h;
}

int PcdImageSector(int resolution, bool overview) {
  switch (resolution) {
    case 0:
      return 4;
    case 1:
      return 23;
    case 2:
      return overview ? 5 : 96;
  }
  return -1;
}

}  // namespace qel
