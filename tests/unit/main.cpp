#include <gtest/gtest.h>

#include "import/framework/format_registry.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  qel::RegisterStartupFormats();
  return RUN_ALL_TESTS();
}
