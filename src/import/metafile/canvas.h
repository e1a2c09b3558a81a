// The rasteriser behind metafile playback: filled polygons (even-odd or non-zero),
// one-pixel lines, pixels and stretched bitmap blocks, drawn into a 24-bit picture
// through a clip rectangle with the binary and ternary raster operations of the
// records. Coordinates are target pixels; pixel (x, y) covers [x, x + 1) x [y, y + 1)
// and is drawn when its centre lies inside a shape. Nothing is anti-aliased.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "imaging/picture.h"
#include "import/metafile/geometry.h"

namespace qel {

class MetafileDib;

// Binary raster operations (SetROP2): the result of pen or brush P and destination D.
inline constexpr int kR2CopyPen = 13;
inline constexpr int kR2Nop = 11;
// Ternary raster operations of the blocks: the operation index is bits 16..23.
inline constexpr std::uint32_t kSrcCopy = 0x00CC0020;
inline constexpr std::uint32_t kPatCopy = 0x00F00021;

// The colours of a brush that is not solid: a tile repeated from the metafile's origin.
// Pixels whose drawn flag is 0 (the gaps of a hatch on a transparent background) are left
// as they are.
struct BrushPattern {
  int width = 0, height = 0;
  std::vector<TColor> colors;
  std::vector<std::uint8_t> drawn;
};

struct Paint {
  TColor color = 0;
  std::shared_ptr<const BrushPattern> pattern;  // when set, the colours come from it
  int rop2 = kR2CopyPen;
};

// The dashes of a one-pixel pen: lengths on, off, on, off... in pixels (empty: solid).
// The position carries the pattern over from one segment to the next.
struct LineStyle {
  std::vector<int> dashes;
  bool opaque_gaps = false;
  TColor gap_color = 0;
  std::uint64_t position = 0;
};

enum class FillRule { kEvenOdd, kNonZero };

// A bitmap as the source of a block: the source rectangle in the bitmap's pixels, rows
// counted from the top; a negative width or height mirrors.
struct BlitSource {
  const MetafileDib* dib = nullptr;
  double x = 0, y = 0, width = 0, height = 0;
};

class MetafileCanvas {
 public:
  // Draws into target inside area (the metafile's rectangle, clipped to the target).
  // budget bounds the work (pixels written, rows scanned); past it drawing fails with
  // EInvalidGraphic naming format.
  MetafileCanvas(Picture& target, const TRect& area, std::uint64_t budget, std::string_view format);
  // A canvas that writes nothing and only notes whether something would be drawn inside
  // probe; playing a metafile on it checks every record at little cost.
  MetafileCanvas(const TRect& probe, std::string_view format);

  const TRect& Area() const { return area_; }
  const TRect& Clip() const { return clip_; }
  // The clip becomes the rectangle within the area.
  void SetClip(const TRect& clip);
  // Whether anything was drawn (inside the clip).
  bool Touched() const { return touched_; }

  void FillFigures(const Figures& figures, FillRule rule, const Paint& paint);
  void FillRect(const TRect& rect, const Paint& paint);
  // A one-pixel line between the pixels that hold a and b; b itself is not drawn.
  void DrawLine(PointD a, PointD b, const Paint& paint, LineStyle& style);
  void SetPixel(int x, int y, const Paint& paint);
  // Fills the destination rectangle (x, y, width, height; negative sizes mirror) with the
  // ternary raster operation of rop over the stretched source, the brush and the
  // destination. source may be null when the operation does not read a source.
  void StretchBlit(double x, double y, double width, double height, const BlitSource* source,
                   std::uint32_t rop, const Paint& brush);

  // Counts work against the budget.
  void Charge(std::uint64_t units);
  [[noreturn]] void FailTooComplex() const;

 private:
  void PaintSpan(int y, int x0, int x1, const Paint& paint);
  TColor PatternColor(const BrushPattern& pattern, int x, int y, bool* drawn) const;

  Picture* target_ = nullptr;
  TRect area_{};
  TRect clip_{};
  std::uint64_t budget_ = 0;
  std::uint64_t work_ = 0;
  std::string_view format_;
  bool touched_ = false;
};

}  // namespace qel
