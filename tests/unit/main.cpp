#include <gtest/gtest.h>

#include "import/framework/format_registry.h"

// Under the leak checker: fontconfig, which renders the text of SVG drawings, loads its
// configuration once and keeps it for the life of the process.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  qel::RegisterStartupFormats();
  return RUN_ALL_TESTS();
}
