// Dialog filters: the "description|pattern;pattern|..." text the program keeps, and
// the "description (pattern pattern);;..." form Qt's file dialogs read.
#pragma once

#include <string>
#include <vector>

namespace qel {

struct FilterEntry {
  std::string description;
  std::vector<std::string> patterns;
};

// Splits the bar-separated text into its description and pattern pairs. A trailing
// description without a pattern is dropped.
std::vector<FilterEntry> ParseFilterText(const std::string& text);

// The Qt form of a filter text. Descriptions stay as written; each is followed by its
// patterns in parentheses, separated by blanks, unless it already ends with exactly
// that text.
std::string QtFilterFromFilterText(const std::string& text);

}  // namespace qel
