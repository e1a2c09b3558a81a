#include "app/viewer_help.h"

namespace qel {

std::string ViewerHelpText() {
  return "Usage:\n"
         "  qel-image-tool [PICTURE]\n"
         "  qel-image-tool --help | --version\n"
         "\n"
         "Shows PICTURE (any file the viewer reads; see qel-convert --formats) in a small\n"
         "window that stays on top of other windows. Every command is in the popup menu:\n"
         "right-click the window. Further arguments are ignored; a picture named like an\n"
         "option is opened as ./--help.\n"
         "\n"
         "  --help              print this text and exit\n"
         "  --version           print the version and exit\n"
         "\n"
         "Files:\n"
         "  $XDG_CONFIG_HOME/qel-image-tool/qel-image-tool.dat (~/.config/... when the\n"
         "                      variable is unset): the options of an installed copy (one\n"
         "                      in a bin folder, or in a folder it may not write)\n"
         "  qel-image-tool.dat beside the executable: the options of a copy run from a\n"
         "                      folder of its own; none when its path contains \"usb\"\n"
         "\n"
         "qel-convert converts and resizes pictures on the command line.\n";
}

}  // namespace qel
