// TIFF files in every compression the reader knows, loaded as a .tif file is.
#include "reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return qel::fuzz::LoadAsExtension("tif", data, size);
}
