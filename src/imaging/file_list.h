// Which paths a drop (or a batch conversion) takes: a folder is expanded one level,
// and a file is kept when its extension occurs in the filter text of the readable
// formats. The viewer's file list and qel-convert's batches share these rules.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qel {

// True when the lower-cased needle occurs anywhere in the lower-cased haystack. An
// empty needle never occurs.
bool ContainsNoCase(std::string_view needle, std::string_view haystack);

// True for a folder, and for a path whose attributes cannot be read (a missing path
// counts as a folder and so contributes nothing).
bool IsFolder(const std::string& path);

// Offers one path to the list: a folder is expanded with AddFolder; a file is appended
// when ContainsNoCase finds its extension (dot included) in filter_text.
void AddPath(std::vector<std::string>& list, const std::string& path, std::string_view filter_text);

// Offers each entry directly inside the folder, skipping names that begin with "." and
// subfolders; the entries taken are appended in name order (NaturalLess).
void AddFolder(std::vector<std::string>& list, const std::string& folder, std::string_view filter_text);

}  // namespace qel
