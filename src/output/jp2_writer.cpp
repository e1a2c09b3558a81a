// Not written yet: refuses, so that nothing is saved under a name that promises a
// format the file would not hold.
#include "imaging/errors.h"
#include "output/picture_writers.h"

namespace qel {

void WriteJp2(const Picture&, TStream&) { throw Error("Saving as JPEG 2000 is not available in this build."); }

}  // namespace qel
