// Two-dimensional fax rows (ITU-T T.4 two-dimensional coding and T.6): each row is
// coded as modes that place its colour changes relative to those of the row before.
#pragma once

#include <cstdint>

#include "import/codecs/ccitt_decoder.h"

namespace qel::codec {

// Decodes rows coded in the modes of T.4 section 4.2 and T.6: pass, horizontal (two
// runs in the modified Huffman codes) and the seven vertical modes. Shared by the
// Group 3 decoder (its two-dimensionally coded rows) and the Group 4 decoder.
class FaxModeDecoder {
 public:
  enum class RowEnd {
    kComplete,   // the row holds all its pixels
    kEndOfLine,  // an end-of-line code came first (also the end of a Group 4 block)
    kError,      // a code that is no mode, an uncompressed-mode extension, a change
                 // left of the coding position, or the end of the input
  };

  FaxModeDecoder();

  // Decodes the current row of out against out's reference row (the row before; all
  // white before the first). Horizontal-mode runs are read with runs. A row that does
  // not end kComplete keeps what was written of it; the caller decides what comes next.
  RowEnd DecodeRow(FaxBitReader& in, FaxRowWriter& out, const TCCITTDecoder& runs) const;

 private:
  // The next mode code, kEndOfLine, or kInvalidCode (also when the input ends).
  std::int32_t ReadMode(FaxBitReader& in) const;

  TStateArray modes_;
};

}  // namespace qel::codec
