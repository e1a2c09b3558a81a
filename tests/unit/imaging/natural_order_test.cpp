// The order of file lists: letters without regard to case, numbers by value.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>

#include "imaging/natural_order.h"

namespace qel {
namespace {

TEST(NaturalOrder, NamesSortAsAPersonReadsThem) {
  std::vector<std::string> expected;
  std::istringstream names(
      "01 2 10 A a Beach img IMG02 img2 img2b img10 IMG11 img100 x99999999999999999999 "
      "x100000000000000000000");
  for (std::string name; names >> name;) expected.push_back(name + ".jpg");
  std::vector<std::string> list = expected;
  std::shuffle(list.begin(), list.end(), std::mt19937(7));
  SortNaturally(list);
  EXPECT_EQ(list, expected);
}

}  // namespace
}  // namespace qel
