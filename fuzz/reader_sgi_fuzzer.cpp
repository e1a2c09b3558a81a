// SGI image files, loaded as a .sgi file is.
#include "reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return qel::fuzz::LoadAsExtension("sgi", data, size);
}
