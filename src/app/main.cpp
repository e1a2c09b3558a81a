// qel Image Tool: the viewer's entry point.
#include "app/viewer_main.h"
#include "base/interrupt_cleanup.h"

int main(int argc, char** argv) {
  // A save interrupted from the terminal leaves no half-made file behind.
  qel::CleanUpOnInterrupt();
  return qel::RunViewer(argc, argv);
}
