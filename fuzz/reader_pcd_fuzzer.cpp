// Kodak Photo-CD files, loaded as a .pcd file is. The reader always decodes the Base
// image, which lies about 800 KB into the file; so that small inputs reach it, the
// first input byte may ask for the file to be lengthened to hold a whole Base image,
// the input's bytes repeated as its pixel planes. Input: that byte (bit 0), then the file.
#include <algorithm>
#include <vector>

#include "import/pcd/layout.h"
#include "reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qel::fuzz::FuzzInput in(data, size);
  const bool lengthen = in.Byte() & 1;
  std::vector<std::uint8_t> file(in.Rest(), in.Rest() + in.RestSize());
  if (lengthen && !file.empty()) {
    // The Base image of an image pack: 768 x 512 luma and two quarter chroma planes.
    const std::size_t base_end =
        std::size_t(qel::PcdImageSector(qel::kPcdBaseResolution, false)) * qel::kPcdSectorSize +
        768 * 512 * 3 / 2;
    const std::size_t given = file.size();
    file.resize(std::max(base_end, given));
    for (std::size_t i = given; i < file.size(); ++i) file[i] = file[i % given];
  }
  return qel::fuzz::LoadAsExtension("pcd", file.data(), file.size());
}
