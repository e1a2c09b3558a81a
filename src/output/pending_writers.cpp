// Encoders not written yet: they refuse, so that nothing is saved under a name that
// promises a format the file would not hold.
#include "imaging/errors.h"
#include "output/picture_writers.h"

namespace qel {

namespace {
[[noreturn]] void NotYet(const char* format) {
  throw Error(std::string("Saving as ") + format + " is not available in this build.");
}
}  // namespace

void WriteJp2(const Picture&, TStream&) { NotYet("JPEG 2000"); }
void WriteTga(const Picture&, TStream&) { NotYet("Targa"); }
void WriteJpeg(const Picture&, TStream&) { NotYet("JPEG"); }
void WritePng(const Picture&, TStream&) { NotYet("PNG"); }
void WriteGif(const Picture&, TStream&) { NotYet("GIF"); }
void WriteEmf(const Picture&, TStream&) { NotYet("EMF"); }

}  // namespace qel
