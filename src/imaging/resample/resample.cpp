#include "imaging/resample.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>

#include "imaging/errors.h"
#include "imaging/resample/engine.h"
#include "imaging/resample/kernels.h"
#include "imaging/resample/line_cache.h"
#include "imaging/resample/passes.h"
#include "imaging/resample/weights.h"

namespace qel {

namespace {

// A radius beyond this only adds candidates of weight 0 for every kernel here, at a
// cost that grows with it; refuse it rather than spend minutes on nothing.
constexpr float kMaxRadius = 64.0f;

std::string SizeText(std::int64_t width, std::int64_t height) {
  return std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

bool SameTextNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

bool ResizeTargetFits(std::int64_t width, std::int64_t height) {
  return width <= kMaxPictureSide && height <= kMaxPictureSide &&
         std::uint64_t(width) * std::uint64_t(height) <= kMaxPicturePixels;
}

std::string ResizeTargetProblem(std::int64_t width, std::int64_t height) {
  if (ResizeTargetFits(width, height)) return "";
  return "Cannot resize to " + SizeText(width, height) + ": a picture may have at most " +
         std::to_string(kMaxPicturePixels) + " pixels and sides of at most " +
         std::to_string(kMaxPictureSide) + ".";
}

std::string_view FilterName(int filter) {
  const resample::FilterKernel* kernel = resample::KernelOrNull(filter);
  return kernel ? kernel->name : std::string_view();
}

int FilterFromName(std::string_view name) {
  for (int filter = 0; filter < kFilterCount; ++filter) {
    if (SameTextNoCase(name, FilterName(filter))) return filter;
  }
  return -1;
}

void ResizeToRect(Picture& picture, const TRect& rect, int filter, ProgressObserver* observer) {
  if (picture.Empty()) return;
  ResizePicture(picture, rect.right, rect.bottom, filter, observer);
}

void ResizePicture(Picture& picture, int width, int height, int filter, ProgressObserver* observer) {
  // The engine builds the result aside and replaces the picture only once it is complete:
  // the palette stays, the transparent flag goes.
  ResampleInto(width, height, filter, 0.0f, picture, picture, observer);
}

void ResampleInto(int width, int height, int filter, float radius, const Picture& source, Picture& target,
                  ProgressObserver* observer) {
  resample::ResampleIntoFast(width, height, filter, radius, source, target, resample::EngineOptions{},
                             observer);
}

namespace resample {

ResampleSetup CheckResample(int width, int height, int filter, float radius, const Picture& source) {
  if (width < 0 || height < 0) throw Error("Cannot resize a picture to " + SizeText(width, height) + ".");
  if (!ResizeTargetFits(width, height)) {
    throw EOutOfResources("Cannot resize a picture to " + SizeText(width, height) +
                          ": that is larger than the " + std::to_string(kMaxPicturePixels) +
                          " pixels this tool handles.");
  }
  // The first pass makes a picture of the new width and the old height.
  if (!ResizeTargetFits(width, source.Height())) {
    throw EOutOfResources("Cannot resize a picture of " + SizeText(source.Width(), source.Height()) + " to " +
                          SizeText(width, height) + ": the intermediate picture of " +
                          SizeText(width, source.Height()) + " would be larger than the " +
                          std::to_string(kMaxPicturePixels) + " pixels this tool handles.");
  }
  const FilterKernel& kernel = KernelFor(filter);
  if (!(radius > 0.0f)) radius = kernel.radius;
  if (radius > kMaxRadius) {
    throw Error("The resampling radius " + std::to_string(radius) + " is larger than " +
                std::to_string(int(kMaxRadius)) + ".");
  }
  return {&kernel, radius};
}

void ResampleIntoReference(int width, int height, int filter, float radius, const Picture& source,
                           Picture& target, ProgressObserver* observer) {
  const ResampleSetup setup = CheckResample(width, height, filter, radius, source);
  PassProgress progress(observer);
  progress.Start();

  // The result is built aside and handed to the target at the end: the target keeps what
  // it held when a step fails, and source and target may be one object.
  Picture result;
  result.SetSize(width, height);
  result.SetPalette(target.GetPalette());

  const int source_width = source.Width(), source_height = source.Height();
  if (source_width > 0 && source_height > 0 && width > 0 && height > 0) {
    LineCache cache(std::size_t(std::max(source_width, source_height)));
    Picture intermediate;
    intermediate.SetSizeUninitialized(width, source_height);
    {
      const WeightTable columns =
          BuildWeightTable(width, source_width, AxisScale(width, source_width), *setup.kernel, setup.radius);
      ResampleRows(source, columns, cache, intermediate, &progress);
    }
    const WeightTable rows = BuildWeightTable(height, source_height, AxisScale(height, source_height),
                                              *setup.kernel, setup.radius);
    ResampleColumns(intermediate, rows, cache, result, &progress);
  }
  target.Assign(std::move(result));
  progress.End();
}

}  // namespace resample

}  // namespace qel
