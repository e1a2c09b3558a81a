// Windows BMP writer for the 24-bit picture.
#pragma once

#include "imaging/picture.h"

namespace qel {

class TStream;

// 14-byte file header "BM", 40-byte information header, the picture's palette (when it
// carries one) as a colour table, then the rows bottom-up, 3 bytes a pixel, each row
// padded to a multiple of 4 bytes.
void WriteBmp(const Picture& picture, TStream& stream);

}  // namespace qel
