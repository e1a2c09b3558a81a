// SVG drawings, loaded as a .svg file is
// (through our reader over the library).
#include <cstddef>
#include <cstdint>

#include "reader_fuzz.h"

// Fontconfig, which renders the text, loads its configuration once and keeps it for the
// life of the process: not a leak of ours.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return qel::fuzz::LoadAsExtensionOfBoundedSize("svg", data, size);
}
