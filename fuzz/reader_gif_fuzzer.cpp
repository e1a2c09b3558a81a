// GIF files, loaded as a .gif file is.
#include "reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return qel::fuzz::LoadAsExtension("gif", data, size);
}
