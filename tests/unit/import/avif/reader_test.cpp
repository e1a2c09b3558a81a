// AVIF files of avifenc decode as the source shows over white, any depth brought to 8
// bits, and upright whatever rotation and mirroring the file asks for.
#include "unit/import/library_reader_helpers.h"

namespace qel {
namespace {

TEST(AVIFReader, FilesOfTheDebianEncoderShowTheirSource) {
  QEL_SKIP_WITHOUT("convert", "pillow", "avifenc");
  test::CheckEncodedCases("avif",
                          {
                              {"lossless", "opaque", "avifenc --lossless IN OUT", 0},
                              {"lossy", "opaque", "avifenc --min 10 --max 10 IN OUT", 12},
                              {"alpha", "alpha", "avifenc --lossless IN OUT", 1},
                              {"ten-bit", "deep", "avifenc -d 10 -y 444 --min 0 --max 0 IN OUT", 2},
                              {"grey", "grey", "avifenc -y 400 --min 0 --max 0 IN OUT", 2},
                              {"twelve-bit-420", "deep", "avifenc -d 12 -y 420 --min 10 --max 10 IN OUT", 12},
                              // Turned a quarter to the left and mirrored left to right by the file: the
                              // source was turned the other way first, so that it shows as it was.
                              {"turned", "opaque",
                               "sh -c '/usr/bin/convert \"$0\" -flop -rotate 90 \"$0.turned.png\" && avifenc "
                               "--lossless --irot 1 --imir 1 "
                               "\"$0.turned.png\" \"$1\"' IN OUT",
                               0},
                          });
}

}  // namespace
}  // namespace qel
