// Times the resampling engines on a 6000 x 4000 picture: reducing to 1500 x 1000,
// enlarging 1500 x 1000 to 6000 x 4000 and 6000 x 4000 to 12000 x 8000, with Lanczos3
// and Box. For each, the scalar engine and the fast one (all cores, the widest
// instruction set) side by side, with megapixels of target per second and the ratio,
// and then where the fast engine's time goes: the weight lists, and the passes on one
// thread and on all.
//
//   build/bench/resample [repetitions]      (the best of the repetitions is shown)
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <random>
#include <string>

#include "base/parallel.h"
#include "imaging/picture.h"
#include "imaging/resample.h"
#include "imaging/resample/engine.h"
#include "imaging/resample/fast_weights.h"
#include "imaging/resample/simd_passes.h"
#include "imaging/resample/weights.h"

namespace {

using namespace qel;
using namespace qel::resample;

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

// The best wall time of a few runs, in seconds.
double Best(int repetitions, const std::function<void()>& run) {
  double best = 1e300;
  for (int r = 0; r < repetitions; ++r) {
    const auto start = std::chrono::steady_clock::now();
    run();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    best = std::min(best, elapsed.count());
  }
  return best;
}

struct Case {
  const Picture* source;
  int width, height, filter;
};

std::string Label(const Case& c) {
  return std::to_string(c.source->Width()) + "x" + std::to_string(c.source->Height()) + " -> " +
         std::to_string(c.width) + "x" + std::to_string(c.height);
}

}  // namespace

int main(int argc, char** argv) {
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
  try {
    const Picture big = MakeSource(6000, 4000);
    const Picture small = MakeSource(1500, 1000);
    const Case cases[] = {
        {&big, 1500, 1000, kFilterLanczos3},   {&big, 1500, 1000, kFilterBox},
        {&small, 6000, 4000, kFilterLanczos3}, {&small, 6000, 4000, kFilterBox},
        {&big, 12000, 8000, kFilterLanczos3},  {&big, 12000, 8000, kFilterBox},
    };
    const SimdLevel level = DetectSimdLevel();
    const int threads = ThreadCount(0);
    std::printf("fast engine: %s, %d threads\n\n", SimdLevelName(level), threads);
    std::printf("%-9s %-24s %10s %10s %12s %12s %8s\n", "filter", "resize", "scalar s", "fast s",
                "scalar MP/s", "fast MP/s", "ratio");
    for (const Case& c : cases) {
      const double megapixels = double(c.width) * c.height / 1e6;
      const double reference = Best(repetitions, [&] {
        Picture target;
        ResampleIntoReference(c.width, c.height, c.filter, 0.0f, *c.source, target);
      });
      const double fast = Best(repetitions, [&] {
        Picture target;
        ResampleIntoFast(c.width, c.height, c.filter, 0.0f, *c.source, target, EngineOptions{});
      });
      std::printf("%-9s %-24s %10.3f %10.3f %12.2f %12.2f %7.1fx\n",
                  std::string(FilterName(c.filter)).c_str(), Label(c).c_str(), reference, fast,
                  megapixels / reference, megapixels / fast, reference / fast);
    }

    // Where the fast engine's time goes, for the first three cases.
    std::printf("\n%-9s %-24s %10s %10s %10s %10s\n", "filter", "resize", "lists s", "1 thread", "all",
                "scaling");
    for (const Case& c : {cases[0], cases[1], cases[2]}) {
      const FilterKernel& kernel = KernelFor(c.filter);
      const Picture& s = *c.source;
      WeightTable columns, rows;
      const double lists = Best(repetitions, [&] {
        columns =
            BuildWeightTableFast(c.width, s.Width(), AxisScale(c.width, s.Width()), kernel, kernel.radius);
        rows = BuildWeightTableFast(c.height, s.Height(), AxisScale(c.height, s.Height()), kernel,
                                    kernel.radius);
      });
      Picture target;
      target.SetSizeUninitialized(c.width, c.height);
      auto passes = [&](int n) {
        return Best(repetitions, [&] {
          ResampleWithListsFast(columns, rows, s, target, *SimdPassesFor(level), EngineOptions{n, level});
        });
      };
      const double one = passes(1), all = passes(threads);
      std::printf("%-9s %-24s %10.4f %10.4f %10.4f %9.2fx\n", std::string(FilterName(c.filter)).c_str(),
                  Label(c).c_str(), lists, one, all, one / all);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
