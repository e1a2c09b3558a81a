// The picture operations qel-convert applies, left to right, before writing.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "imaging/picture.h"
#include "imaging/picture_commands.h"

namespace qel::cli {

// The settings that operations share and that options before them may change.
struct OperationSettings {
  commands::ResizeSettings resize;  // --filter and --sharpen-after-resize
  commands::BorderSettings border;  // --frame-color, --line-color and --border-width
};

// One step on the command line, ready to apply.
using Operation = std::function<void(Picture& picture, OperationSettings& settings)>;

// Tries to read an operation (or a setting) at args[index]. On success appends the
// step, advances index past the arguments it used and returns true; returns false
// when args[index] is not an operation; throws std::invalid_argument with a message
// for a malformed value.
bool ParseOperation(const std::vector<std::string>& args, std::size_t& index, std::vector<Operation>& steps);

// The help text of the operations, one line each.
std::string OperationsHelp();

}  // namespace qel::cli
