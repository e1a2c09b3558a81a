// Portable maps (PBM, PGM, PPM, plain and binary), loaded as a .ppm file is.
#include "reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return qel::fuzz::LoadAsExtension("ppm", data, size);
}
