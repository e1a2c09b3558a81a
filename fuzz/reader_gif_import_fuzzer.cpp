// GIF files read by the import library's own GIF class. The viewer opens .gif files with
// the giflib class registered after it, so this target loads the class directly.
#include <cstddef>
#include <cstdint>

#include "import/gif/reader.h"
#include "reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return qel::fuzz::LoadWithClass(qel::TGIFGraphic::StaticClass(), data, size);
}
