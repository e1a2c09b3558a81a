// Joining raw deflate streams that were compressed on their own into one stream.
//
// A deflate stream ends with a block whose first header bit (BFINAL) is set, and its
// last byte is padded with zero bits. A stream that is to be followed by another has
// that bit cleared and gets an empty stored block after its last block (three zero
// header bits, padding to the byte boundary, then the lengths 0000 FFFF), so that it
// ends on a byte boundary as a sync flush does and the next stream's first block
// starts in a fresh byte. The next stream must not refer back into this one: each piece
// is compressed without a dictionary.
#pragma once

#include <cstdint>
#include <vector>

namespace qel {

// Turns a whole raw deflate stream (no zlib header, ending with its final block) into
// one that continues: the final block's BFINAL bit cleared, an empty stored block
// appended, four or five bytes more. Returns false, the stream left as it was, when the
// data is not one whole deflate stream.
bool ContinueDeflateStream(std::vector<std::uint8_t>& stream);

}  // namespace qel
