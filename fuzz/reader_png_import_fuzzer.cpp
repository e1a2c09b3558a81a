// PNG files read by the import library's own PNG class. The viewer opens .png files with
// the libpng class registered after it, so this target loads the class directly.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "import/png/reader.h"
#include "png_checksums.h"
#include "reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> file = qel::fuzz::WithChunkChecksumsRight(data, size);
  return qel::fuzz::LoadWithClass(qel::TPNGGraphic::StaticClass(), file.data(), file.size());
}
