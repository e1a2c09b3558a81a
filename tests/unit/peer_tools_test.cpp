// The reason a test that needs missing peer tools is skipped with: each missing one
// named, with what installs it; nothing when all are there.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "support/peer_tools.h"

namespace qel {
namespace {

TEST(PeerTools, MissingOnesAreNamedWithWhatInstallsThem) {
  const char* hidden = std::getenv("QEL_TEST_HIDE_TOOLS");
  const std::optional<std::string> saved = hidden ? std::optional<std::string>(hidden) : std::nullopt;
  ::unsetenv("QEL_TEST_HIDE_TOOLS");
  EXPECT_EQ(test::MissingTools({"sh"}), "");
  EXPECT_EQ(test::MissingTools({"sh", "qel-no-such-program"}),
            "qel-no-such-program is not installed; scripts/install-deps.sh --test installs it");
  // Hidden tools count as missing; Pillow is missing without its Python.
  ::setenv("QEL_TEST_HIDE_TOOLS", "convert,python3", 1);
  EXPECT_EQ(test::MissingTools({"sh", "convert", "pillow"}),
            "ImageMagick (/usr/bin/convert), Pillow (PIL for /usr/bin/python3) are not installed; "
            "scripts/install-deps.sh --test installs them");
  if (saved)
    ::setenv("QEL_TEST_HIDE_TOOLS", saved->c_str(), 1);
  else
    ::unsetenv("QEL_TEST_HIDE_TOOLS");
}

}  // namespace
}  // namespace qel
