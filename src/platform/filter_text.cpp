#include "platform/filter_text.h"

#include <string_view>

namespace qel {

namespace {

std::vector<std::string> Split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find(separator, start);
    parts.emplace_back(
        text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return parts;
}

}  // namespace

std::vector<FilterEntry> ParseFilterText(const std::string& text) {
  std::vector<FilterEntry> entries;
  if (text.empty()) return entries;
  const std::vector<std::string> parts = Split(text, '|');
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
    FilterEntry entry{parts[i], {}};
    for (std::string& pattern : Split(parts[i + 1], ';')) {
      if (!pattern.empty()) entry.patterns.push_back(std::move(pattern));
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::string QtFilterFromFilterText(const std::string& text) {
  std::string out;
  for (const FilterEntry& entry : ParseFilterText(text)) {
    std::string patterns;
    for (const std::string& pattern : entry.patterns) {
      if (!patterns.empty()) patterns += ' ';
      patterns += pattern;
    }
    const std::string suffix = "(" + patterns + ")";
    std::string filter = entry.description;
    const bool has_suffix = filter.size() >= suffix.size() &&
                            filter.compare(filter.size() - suffix.size(), suffix.size(), suffix) == 0;
    if (!has_suffix) {
      if (!filter.empty() && filter.back() != ' ') filter += ' ';
      filter += suffix;
    }
    if (!out.empty()) out += ";;";
    out += filter;
  }
  return out;
}

}  // namespace qel
