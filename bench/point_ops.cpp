// Times the point and neighbourhood operations on a 6000 x 4000 picture and prints
// megapixels per second.
//
//   build/bench/point_ops [repetitions]      (the best of the repetitions is shown)
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <random>

#include "imaging/picture.h"
#include "imaging/sharpen.h"
#include "imaging/tone.h"

int main(int argc, char** argv) {
  using namespace qel;
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
  try {
    Picture source = NewPicture(6000, 4000, kNoColor);
    std::mt19937 rng(42);
    for (int y = 0; y < source.Height(); ++y) {
      for (int x = 0; x < 3 * source.Width(); ++x)
        source.Row(y)[x] = static_cast<std::uint8_t>(x + y + (rng() & 31));
    }
    const struct {
      const char* name;
      std::function<void(Picture&)> run;
    } operations[] = {
        {"Lighten 10", [](Picture& p) { LightenPicture(p, 10); }},
        {"Darken 5", [](Picture& p) { DarkenPicture(p, 5); }},
        {"Contrast 10", [](Picture& p) { ContrastPicture(p, 10); }},
        {"Gray", [](Picture& p) { GrayPicture(p); }},
        {"Sepia 30", [](Picture& p) { SepiaPicture(p, 30); }},
        {"Sharpen 2", [](Picture& p) { SharpenPicture(p, 2.0f); }},
        {"Anti-alias", [](Picture& p) { AntiAliasPicture(p); }},
    };
    std::printf("%-12s %10s %10s\n", "operation", "seconds", "MP/s");
    for (const auto& op : operations) {
      double best = 1e300;
      for (int r = 0; r < repetitions; ++r) {
        Picture picture = source;
        const auto start = std::chrono::steady_clock::now();
        op.run(picture);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        best = std::min(best, elapsed.count());
      }
      std::printf("%-12s %10.4f %10.1f\n", op.name, best, 24.0 / best);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
