// The viewer's run from start to end, shared by the program's entry point and the
// viewer build of the end-to-end tests.
#pragma once

#include <functional>

namespace qel {

class TForm1;

// Answers --version, or registers the formats, opens the main window (loading the file
// that argument 1 names), runs the event loop and returns its exit status. prepare,
// when given, receives the window before it is shown.
int RunViewer(int argc, char** argv, const std::function<void(TForm1&)>& prepare = {});

}  // namespace qel
