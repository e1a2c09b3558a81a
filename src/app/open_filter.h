// The fixed filter of the "Load image" dialog.
#pragma once

#include <string>

namespace qel {

// "All (*.gif;...)|*.gif;...|CompuServe GIF Image (*.gif)|*.gif|...": an "All" entry
// over every pattern, then 56 single-pattern entries (repeats included). It is not
// built from the format list: it offers a few extensions no reader claims and none of
// the JPEG 2000 ones.
std::string OpenPictureFilter();

}  // namespace qel
