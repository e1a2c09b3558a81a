// Starting helper programs of the desktop (xdg-email, update-desktop-database)
// without a shell, so that every argument reaches the program exactly as given.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qel {

// Runs the program named by arguments[0] (looked up on PATH when it has no '/') with
// the arguments, standard input from /dev/null, and waits for it. Returns its exit
// status; nullopt when it could not be started or was ended by a signal.
std::optional<int> RunProgram(const std::vector<std::string>& arguments);

// Whether a program of that name is found on PATH (executable by this user).
bool ProgramOnPath(const std::string& name);

}  // namespace qel
