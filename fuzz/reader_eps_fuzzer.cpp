// Binary Encapsulated PostScript files with their TIFF previews, loaded as an .eps
// file is.
#include "reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return qel::fuzz::LoadAsExtension("eps", data, size);
}
