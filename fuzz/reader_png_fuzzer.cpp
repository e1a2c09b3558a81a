// PNG files, loaded as a .png file is.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "png_checksums.h"
#include "reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> file = qel::fuzz::WithChunkChecksumsRight(data, size);
  return qel::fuzz::LoadAsExtension("png", file.data(), file.size());
}
