// WebP files of libwebp's own encoders decode as the source shows over white.
#include "unit/import/library_reader_helpers.h"

namespace qel {
namespace {

TEST(WebPReader, FilesOfTheDebianEncodersShowTheirSource) {
  QEL_SKIP_WITHOUT("convert", "pillow", "cwebp", "img2webp");
  test::CheckEncodedCases(
      "webp", {
                  {"lossless", "opaque", "cwebp -quiet -lossless IN -o OUT", 0},
                  {"lossless-alpha", "alpha", "cwebp -quiet -lossless -exact IN -o OUT", 1},
                  {"lossy", "opaque", "cwebp -quiet -q 90 IN -o OUT", 12},
                  {"lossy-alpha", "alpha", "cwebp -quiet -q 90 IN -o OUT", 12},
                  // Of an animation, the first frame (the second is the same picture upside down).
                  {"animated", "opaque",
                   "sh -c '/usr/bin/convert \"$0\" -flip \"$0.flipped.png\" && img2webp -lossless \"$0\" "
                   "\"$0.flipped.png\" -o \"$1\"' IN OUT",
                   0},
              });
}

}  // namespace
}  // namespace qel
