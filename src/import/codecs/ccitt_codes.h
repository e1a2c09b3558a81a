// The modified Huffman run-length codes of ITU-T T.4, as { code, length in bits,
// run length } with the code's bits right-aligned and read most significant first.
#pragma once

#include <cstdint>
#include <span>

namespace qel::codec {

struct FaxCode {
  std::uint16_t bits;
  std::uint8_t length;
  std::int16_t run;
};

// Terminating codes (runs 0..63) and make-up codes (64..1728) of each colour.
std::span<const FaxCode> WhiteRunCodes();
std::span<const FaxCode> BlackRunCodes();
// The make-up codes 1792..2560 that both colours share.
std::span<const FaxCode> ExtendedMakeUpCodes();

}  // namespace qel::codec
