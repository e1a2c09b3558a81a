// The text of qel-convert --help.
#pragma once

#include <string>

namespace qel::cli {

// Usage, then the options grouped into reading, operations, writing and batch.
std::string HelpText();

}  // namespace qel::cli
