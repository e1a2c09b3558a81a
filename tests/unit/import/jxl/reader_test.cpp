// JPEG XL files of cjxl decode as the source shows over white, lossless ones exactly.
#include "unit/import/library_reader_helpers.h"

namespace qel {
namespace {

TEST(JXLReader, FilesOfTheDebianEncoderShowTheirSource) {
  QEL_SKIP_WITHOUT("convert", "pillow", "cjxl");
  test::CheckEncodedCases("jxl", {
                                     {"lossless", "opaque", "cjxl -d 0 --quiet IN OUT", 0},
                                     {"lossy", "opaque", "cjxl -d 1 --quiet IN OUT", 12},
                                     {"alpha", "alpha", "cjxl -d 0 --quiet IN OUT", 1},
                                     {"sixteen-bit", "deep", "cjxl -d 0 --quiet IN OUT", 0},
                                     {"grey", "grey", "cjxl -d 0 --quiet IN OUT", 0},
                                 });
}

}  // namespace
}  // namespace qel
