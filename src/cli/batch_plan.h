// What a batch conversion works on: the input files gathered from the paths given, and
// the output file chosen for each before any conversion starts.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qel::cli {

// The extension a batch writes, from the text after --to: one the writer table serves
// (bmp jpg png gif emf jp2 tga and the other spellings of jpg), with or without the dot,
// in any letter case.
// Returns it with the dot and the case as typed; throws std::invalid_argument for
// anything else.
std::string BatchExtension(std::string_view text);

struct BatchInputs {
  std::vector<std::string> files;  // in the order they are converted
  int skipped = 0;                 // entries of the folders given that were left out
};

// A folder among the paths is expanded one level as a drop onto the viewer is
// (AddFolder with the filter text), its files in name order; every other path is taken
// as a file whatever its extension. Entries left out of a folder (hidden names,
// subfolders, extensions the filter text lacks) count as skipped.
BatchInputs CollectBatchInputs(const std::vector<std::string>& paths, std::string_view filter_text);

// One member of the series folder/NAME.EXT, folder/NAME[1].EXT, ...
struct OutputName {
  std::string stem;       // folder/NAME
  std::string extension;  // .EXT
  unsigned number = 0;    // 0: no [n]
  std::string Path() const;
  std::string PathWith(unsigned n) const;
};

// The output of each input, in input order: folder/NAME.EXT, NAME being the input's file
// name without its extension, unless an earlier input got that name, the name is
// another input's path (which must not be replaced before it is read), or (overwrite
// off) something exists at that path (an empty regular file does not count: it is the
// name a killed batch took and did not write); then the next free member of the series.
std::vector<OutputName> PlanOutputNames(const std::vector<std::string>& inputs, const std::string& folder,
                                        const std::string& extension, bool overwrite);

// The same comparison key for every spelling of a path: absolute, with symbolic links
// of its existing part resolved.
std::string PathKey(const std::string& path);

}  // namespace qel::cli
