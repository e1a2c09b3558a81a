// Which of the peer tools - the programs that make the tests' fixtures and decode what
// the tool writes, for comparison - are installed. A test that needs one that is
// missing is skipped with the reason instead of failing; the test setup installs them
// all, so that every test runs there.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace qel::test {

// Why a test that needs the named tools cannot run: which of them are missing and what
// installs them; "" when all are there. A name is a program on PATH ("tiffcp"), one the
// tests run from /usr/bin ("convert", "identify", "python3", "emf2svg-conv": an earlier
// "convert" on PATH is a stand-in), "pillow" (PIL for /usr/bin/python3) or "netpbm" (its
// programs, which come together).
// The names in QEL_TEST_HIDE_TOOLS (separated by commas) count as missing, to try the
// skips on a machine that has everything.
std::string MissingTools(std::initializer_list<std::string_view> names);

}  // namespace qel::test

// Skips the GoogleTest test, saying why, unless every named tool is installed.
#define QEL_SKIP_WITHOUT(...)                                                           \
  do {                                                                                  \
    if (const std::string qel_missing_tools = ::qel::test::MissingTools({__VA_ARGS__}); \
        !qel_missing_tools.empty())                                                     \
      GTEST_SKIP() << qel_missing_tools;                                                \
  } while (false)

// The same for a Qt Test function.
#define QEL_QSKIP_WITHOUT(...)                                                          \
  do {                                                                                  \
    if (const std::string qel_missing_tools = ::qel::test::MissingTools({__VA_ARGS__}); \
        !qel_missing_tools.empty())                                                     \
      QSKIP(qel_missing_tools.c_str());                                                 \
  } while (false)
