// What `qel-image-tool --help` prints: the command line, where the options are kept and
// the variables the viewer reads.
#pragma once

#include <string>

namespace qel {

std::string ViewerHelpText();

}  // namespace qel
