// Windows bitmaps (plain and run-length coded), loaded as a .bmp file is.
#include "reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return qel::fuzz::LoadAsExtension("bmp", data, size);
}
