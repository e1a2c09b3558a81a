#include "cli/operations.h"

namespace qel::cli {

bool ParseOperation(const std::vector<std::string>&, std::size_t&, std::vector<Operation>&) { return false; }

std::string OperationsHelp() { return ""; }

}  // namespace qel::cli
