// Windows metafiles, enhanced and placeable or plain old-style ones: one class reads
// both and tells them apart by their header, so this loads every input as an .emf file.
#include "reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return qel::fuzz::LoadAsExtension("emf", data, size);
}
