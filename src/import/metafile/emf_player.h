// Plays the records of an enhanced metafile onto a device context.
#pragma once

#include <cstdint>
#include <span>

namespace qel {

class MetafileDC;

// data holds the whole file, header record first. handle_count is the size of the object
// table the header announces. Unknown records are skipped; records whose content does
// not fit their length fail with EInvalidGraphic.
void PlayEmf(std::span<const std::uint8_t> data, std::uint32_t handle_count, MetafileDC& dc);

}  // namespace qel
