// Plays the records of a Windows metafile (16-bit records) onto a device context.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace qel {

class MetafileDC;

namespace wmf {
inline constexpr std::uint16_t kEof = 0x0000;
inline constexpr std::uint16_t kSetWindowOrg = 0x020B;
inline constexpr std::uint16_t kSetWindowExt = 0x020C;
}  // namespace wmf

// data holds the whole file; records start at first_record. object_count is the size of
// the object table the header announces. Unknown records are skipped; records whose
// content does not fit their length fail with EInvalidGraphic.
void PlayWmf(std::span<const std::uint8_t> data, std::size_t first_record, std::uint32_t object_count,
             MetafileDC& dc);

}  // namespace qel
