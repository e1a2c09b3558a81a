// JPEG XL files (codestreams and containers), loaded as a .jxl file is
// (through our reader over the library).
#include <cstddef>
#include <cstdint>

#include "reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return qel::fuzz::LoadAsExtensionOfBoundedSize("jxl", data, size);
}
