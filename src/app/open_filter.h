// The fixed filter of the "Load image" dialog.
#pragma once

#include <string>

namespace qel {

// "All (*.gif;...)|*.gif;...|CompuServe GIF Image (*.gif)|*.gif|...": an "All" entry
// over every pattern, then 56 single-pattern entries (repeats included). It is not
// built from the format list: it offers a few extensions no reader claims and none of
// the JPEG 2000 ones. The formats read beyond the format table follow: an entry over
// all of them, then one for each.
std::string OpenPictureFilter();

}  // namespace qel
