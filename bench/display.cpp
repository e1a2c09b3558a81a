// Times how soon the viewer shows a large photo smoothly: loading a 6000 x 4000 JPEG
// alone, against loading it and handing it to the window's drawing surface (fitted into
// the 300 x 225 start window) until the picture resampled with the options' filter
// (Lanczos3) is on screen. Also how long the window's thread is held when the picture
// is handed over (the copy the resampler works on), which is all the window waits.
//
//   build/bench/display [repetitions]      (the best of the repetitions is shown)
// Runs without a display (Qt's offscreen platform) unless QT_QPA_PLATFORM says otherwise.
#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <random>
#include <string>

#include "app/image_rect.h"
#include "imaging/picture.h"
#include "imaging/picture_container.h"
#include "import/framework/format_registry.h"
#include "output/save_picture_file.h"

namespace {

using namespace qel;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// A photo-like picture: smooth gradients with noise, so that the JPEG is of a
// realistic size.
Picture MakePhoto(int width, int height) {
  Picture p = NewPicture(width, height, kNoColor);
  std::mt19937 rng(7);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = p.Row(y);
    for (int x = 0; x < width; ++x) {
      const unsigned noise = rng() & 15;
      row[3 * x] = std::uint8_t(x * 255 / width + noise);
      row[3 * x + 1] = std::uint8_t(y * 255 / height + noise);
      row[3 * x + 2] = std::uint8_t((x + y) / 40 + noise);
    }
  }
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  try {
    QApplication app(argc, argv);
    RegisterStartupFormats();
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "qel-bench-display.jpg";
    SavePictureFile(file.string(), MakePhoto(6000, 4000), true);

    double load_best = 1e300, shown_best = 1e300, handover_best = 1e300;
    for (int r = 0; r < repetitions; ++r) {
      const Clock::time_point start = Clock::now();
      Picture picture = LoadPictureFile(file.string());
      load_best = std::min(load_best, Seconds(Clock::now() - start));
    }
    for (int r = 0; r < repetitions; ++r) {
      TImageRect surface;
      surface.resize(300, 225);
      surface.show();
      QEventLoop until_shown;
      QObject::connect(&surface, &TImageRect::ResampledViewReady, &until_shown, &QEventLoop::quit);
      const Clock::time_point start = Clock::now();
      Picture picture = LoadPictureFile(file.string());
      const Clock::time_point loaded = Clock::now();
      surface.SetPicture(&picture);
      handover_best = std::min(handover_best, Seconds(Clock::now() - loaded));
      QTimer::singleShot(60000, &until_shown, &QEventLoop::quit);
      until_shown.exec();
      if (!surface.ResampledView()) throw std::runtime_error("the resampled picture did not arrive");
      shown_best = std::min(shown_best, Seconds(Clock::now() - start));
      surface.SetPicture(nullptr);
    }
    std::filesystem::remove(file);
    std::printf("6000 x 4000 JPEG, drawn at 300 x 200, Lanczos3, best of %d\n", repetitions);
    std::printf("  load alone                         %8.1f ms\n", load_best * 1e3);
    std::printf("  load to first resampled display    %8.1f ms  (+%.1f ms)\n", shown_best * 1e3,
                (shown_best - load_best) * 1e3);
    std::printf("  window thread held at the handover %8.1f ms\n", handover_best * 1e3);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "display: %s\n", e.what());
    return 1;
  }
  return 0;
}
