// The headers of Windows metafiles (placeable, with the 0x9AC6CDD7 key, or plain) and of
// enhanced metafiles: which kind a file is, the picture size it is shown at, and how its
// logical coordinates reach that picture when playback starts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "import/metafile/dc.h"

namespace qel {

enum class MetafileKind { kPlaceableWmf, kPlainWmf, kEmf };

inline constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7u;
inline constexpr std::uint32_t kEmfSignature = 0x464D4520u;  // " EMF"
// Pixels per inch at which a placeable metafile's bounding box is shown.
inline constexpr int kMetafileDpi = 96;

struct MetafileHeader {
  MetafileKind kind = MetafileKind::kPlainWmf;
  int width = 0, height = 0;       // picture size in pixels
  std::size_t data_size = 0;       // bytes of the file that belong to the metafile
  std::size_t first_record = 0;    // WMF: offset of the first record
  std::uint32_t object_count = 0;  // size of the object table
  DeviceSetup setup;               // mapping at the start of playback, onto (0, 0)
};

// Reads the header; throws EInvalidGraphic for a file that is none of the three kinds or
// whose header is inconsistent, EOutOfResources for a picture beyond the size limits.
MetafileHeader ReadMetafileHeader(std::span<const std::uint8_t> data);

}  // namespace qel
