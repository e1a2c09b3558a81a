// qel Image Tool: the viewer's entry point.
#include "app/viewer_main.h"

int main(int argc, char** argv) {
  return qel::RunViewer(argc, argv);
}
