// Times ResizePicture on a 6000 x 4000 picture, reducing to 1500 x 1000 and enlarging
// to 12000 x 8000, with Lanczos3 and Box. Prints megapixels of target per second.
//
//   build/bench/resample [repetitions]
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <random>
#include <string>

#include "imaging/picture.h"
#include "imaging/resample.h"

namespace {

using namespace qel;

// A picture with detail everywhere, so that no filter sees flat areas only.
Picture MakeSource(int width, int height) {
  Picture p = NewPicture(width, height, kNoColor);
  std::mt19937 rng(42);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = p.Row(y);
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<std::uint8_t>(x + y);
      row[3 * x + 1] = static_cast<std::uint8_t>((x * y) >> 4);
      row[3 * x + 2] = static_cast<std::uint8_t>(rng());
    }
  }
  return p;
}

struct Case {
  int width, height, filter;
};

}  // namespace

int main(int argc, char** argv) {
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
  try {
    const Picture source = MakeSource(6000, 4000);
    const Case cases[] = {
        {1500, 1000, kFilterLanczos3},
        {1500, 1000, kFilterBox},
        {12000, 8000, kFilterLanczos3},
        {12000, 8000, kFilterBox},
    };
    std::printf("%-10s %-24s %10s %12s\n", "filter", "resize", "seconds", "MP/s target");
    for (const Case& c : cases) {
      double best = 1e300;
      for (int r = 0; r < repetitions; ++r) {
        Picture picture = source;
        const auto start = std::chrono::steady_clock::now();
        ResizePicture(picture, c.width, c.height, c.filter);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        best = std::min(best, elapsed.count());
      }
      const double megapixels = double(c.width) * c.height / 1e6;
      char label[64];
      std::snprintf(label, sizeof label, "6000x4000 -> %dx%d", c.width, c.height);
      std::printf("%-10s %-24s %10.3f %12.2f\n", std::string(FilterName(c.filter)).c_str(), label, best,
                  megapixels / best);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
