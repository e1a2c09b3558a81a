#include "imaging/natural_order.h"

#include <algorithm>

namespace qel {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

unsigned char Folded(char c) {
  return static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
}

// The end of the run of digits that starts at i.
std::size_t DigitsEnd(std::string_view text, std::size_t i) {
  while (i < text.size() && IsDigit(text[i])) ++i;
  return i;
}

// The numbers spelt by two runs of digits, of any length: fewer significant digits is
// the smaller number, then the digits decide.
int CompareNumbers(std::string_view a, std::string_view b) {
  const auto significant = [](std::string_view digits) {
    const std::size_t first = digits.find_first_not_of('0');
    return first == std::string_view::npos ? std::string_view() : digits.substr(first);
  };
  a = significant(a);
  b = significant(b);
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  const int order = a.compare(b);
  return order < 0 ? -1 : order > 0 ? 1 : 0;
}

// Negative, zero or positive as a goes before, with or after b, case and leading zeros
// aside.
int CompareNaturally(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      const std::size_t a_end = DigitsEnd(a, i), b_end = DigitsEnd(b, j);
      const int order = CompareNumbers(a.substr(i, a_end - i), b.substr(j, b_end - j));
      if (order != 0) return order;
      i = a_end;
      j = b_end;
      continue;
    }
    const unsigned char x = Folded(a[i]), y = Folded(b[j]);
    if (x != y) return x < y ? -1 : 1;
    ++i;
    ++j;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

}  // namespace

bool NaturalLess(std::string_view a, std::string_view b) {
  const int order = CompareNaturally(a, b);
  return order != 0 ? order < 0 : a < b;
}

void SortNaturally(std::vector<std::string>& list, std::size_t first) {
  if (first >= list.size()) return;
  std::sort(list.begin() + std::ptrdiff_t(first), list.end(),
            [](const std::string& a, const std::string& b) { return NaturalLess(a, b); });
}

}  // namespace qel
