// The drawing state that metafile records act on, shared by the Windows metafile and the
// enhanced metafile players: mapping (window, viewport, mapping mode, world transform),
// the selected pen and brush, background and fill modes, the clip rectangle, saved
// states and the path. Drawing calls take logical coordinates, turn them into figures in
// target pixels and hand those to the canvas.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "import/metafile/canvas.h"
#include "import/metafile/geometry.h"

namespace qel {

namespace gdi {
inline constexpr int kMmText = 1, kMmLoMetric = 2, kMmHiMetric = 3, kMmLoEnglish = 4, kMmHiEnglish = 5,
                     kMmTwips = 6, kMmIsotropic = 7, kMmAnisotropic = 8;
inline constexpr std::uint32_t kPsSolid = 0, kPsDash = 1, kPsDot = 2, kPsDashDot = 3, kPsDashDotDot = 4,
                               kPsNull = 5, kPsInsideFrame = 6, kPsStyleMask = 0x0F;
inline constexpr std::uint32_t kPsEndCapMask = 0x0F00, kPsEndCapSquare = 0x0100, kPsEndCapFlat = 0x0200;
inline constexpr std::uint32_t kPsJoinMask = 0xF000, kPsJoinBevel = 0x1000, kPsJoinMiter = 0x2000;
inline constexpr std::uint32_t kBsSolid = 0, kBsNull = 1, kBsHatched = 2, kBsPattern = 3, kBsDibPattern = 5,
                               kBsDibPatternPt = 6;
inline constexpr int kTransparent = 1, kOpaque = 2;
inline constexpr int kAlternate = 1, kWinding = 2;
inline constexpr int kCounterClockwise = 1, kClockwise = 2;
inline constexpr int kRgnAnd = 1, kRgnOr = 2, kRgnXor = 3, kRgnDiff = 4, kRgnCopy = 5;
inline constexpr int kMwtIdentity = 1, kMwtLeftMultiply = 2, kMwtRightMultiply = 3, kMwtSet = 4;
}  // namespace gdi

struct MetafilePen {
  std::uint32_t style = gdi::kPsSolid;  // style, end cap and join bits
  double width = 0;                     // logical units; 0 draws one pixel wide
  bool cosmetic = false;                // always one pixel wide
  TColor color = 0;
};

struct MetafileBrush {
  std::uint32_t style = gdi::kBsSolid;
  TColor color = 0xFFFFFF;
  std::uint32_t hatch = 0;
  std::shared_ptr<const BrushPattern> pattern;  // BS_PATTERN and the DIB patterns
};

// A pattern brush of a bitmap (none when the bitmap is too large to be a tile).
std::shared_ptr<const BrushPattern> MakePatternFromDib(const MetafileDib& dib);

// The brush of a CreateBrushIndirect record: styles other than solid and hatched draw
// nothing.
MetafileBrush IndirectBrush(std::uint32_t style, TColor color, std::uint32_t hatch);

// The source of a block whose source rectangle counts rows as the bitmap stores them,
// from the bottom of a bottom-up bitmap.
BlitSource StoredRowsSource(const MetafileDib& dib, PointD src, PointD size);

// An entry of a metafile's object table.
struct MetafileObject {
  enum class Kind { kFree, kPen, kBrush, kRegion, kOther };
  Kind kind = Kind::kFree;
  MetafilePen pen;
  MetafileBrush brush;
  PointD region_a, region_b;  // a region's bounding box, in logical units

  static MetafileObject Pen(const MetafilePen& pen);
  static MetafileObject Brush(const MetafileBrush& brush);
  static MetafileObject Region(PointD a, PointD b);
  static MetafileObject Other();  // fonts, palettes: a taken slot that selects nothing
};

// How logical coordinates reach the target at the start of playback.
struct DeviceSetup {
  Affine device_to_target;                                          // device pixels to target pixels
  double pixels_per_mm_x = 96 / 25.4, pixels_per_mm_y = 96 / 25.4;  // for the metric mapping modes
  int map_mode = gdi::kMmText;
  PointD window_org{0, 0}, window_ext{1, 1}, viewport_org{0, 0}, viewport_ext{1, 1};
};

enum class ArcKind { kArc, kArcTo, kChord, kPie };

class MetafileDC {
 public:
  MetafileDC(MetafileCanvas& canvas, const DeviceSetup& setup);

  // Mapping.
  void SetMapMode(int mode);
  void SetWindowOrg(PointD p);
  void SetWindowExt(PointD e);
  void SetViewportOrg(PointD p);
  void SetViewportExt(PointD e);
  void OffsetWindowOrg(PointD d);
  void OffsetViewportOrg(PointD d);
  void ScaleWindowExt(double x_num, double x_den, double y_num, double y_den);
  void ScaleViewportExt(double x_num, double x_den, double y_num, double y_den);
  void SetWorldTransform(const Affine& world);
  void ModifyWorldTransform(const Affine& xform, int mode);

  // Attributes.
  void SetBkColor(TColor c) { state_.bk_color = c & 0xFFFFFF; }
  void SetBkMode(int mode) { state_.bk_mode = mode; }
  void SetPolyFillMode(int mode) { state_.poly_fill_mode = mode; }
  void SetRop2(int rop2);
  void SetArcDirection(int direction) { state_.arc_direction = direction; }
  void SetMiterLimit(double limit);
  void SetTextColor(TColor c) { state_.text_color = c & 0xFFFFFF; }
  void SelectPen(const MetafilePen& pen) { state_.pen = pen; }
  void SelectBrush(const MetafileBrush& brush) { state_.brush = brush; }
  // A pen or brush becomes the current one; a region narrows the clip to its box.
  void SelectObject(const MetafileObject& object);
  const MetafileBrush& Brush() const { return state_.brush; }
  TColor BkColor() const { return state_.bk_color; }
  TColor TextColor() const { return state_.text_color; }

  void SaveDC();
  // relative < 0: back that many saves; > 0: back to the state of that save.
  void RestoreDC(int relative);

  // Clipping. Regions are kept as their bounding rectangle.
  void IntersectClipRect(PointD a, PointD b);
  void ExcludeClipRect(PointD a, PointD b);
  void OffsetClip(PointD logical_offset);
  // mode is one of gdi::kRgn*; the rectangles are in device units; an empty list with
  // kRgnCopy restores the full clip.
  void SelectClipDeviceRects(std::span<const TRect> rects, int mode);

  // Drawing, in logical coordinates.
  void MoveTo(PointD p);
  void LineTo(PointD p);
  void Polyline(std::span<const PointD> points);
  void PolylineTo(std::span<const PointD> points);
  void PolyBezier(std::span<const PointD> points);
  void PolyBezierTo(std::span<const PointD> points);
  void PolyDraw(std::span<const PointD> points, std::span<const std::uint8_t> types);
  void Polygon(std::span<const PointD> points);
  void PolyPolygon(std::span<const PointD> points, std::span<const std::uint32_t> counts);
  void PolyPolyline(std::span<const PointD> points, std::span<const std::uint32_t> counts);
  void Rectangle(PointD a, PointD b);
  void RoundRect(PointD a, PointD b, PointD corner);
  void Ellipse(PointD a, PointD b);
  void Arc(ArcKind kind, PointD a, PointD b, PointD start, PointD end);
  void AngleArc(PointD centre, double radius, double start_degrees, double sweep_degrees);
  void SetPixel(PointD p, TColor color);
  // Fills the logical rectangle with a colour (the opaque box of a text record).
  void FillSolidRect(PointD a, PointD b, TColor color);
  // Fills rectangles given in device units with the brush.
  void FillDeviceRects(std::span<const TRect> rects, const MetafileBrush& brush);
  // A block without source: the brush combined with the destination by rop.
  void PatBlt(PointD origin, PointD size, std::uint32_t rop);
  // A bitmap stretched into the logical rectangle origin + size.
  void StretchDib(PointD origin, PointD size, const BlitSource& source, std::uint32_t rop);
  // A bitmap drawn one device pixel per bitmap pixel from a logical origin.
  void DeviceSizedDib(PointD origin, const BlitSource& source, std::uint32_t rop);

  // Paths.
  void BeginPath();
  void EndPath() { in_path_ = false; }
  void AbortPath();
  void CloseFigure();
  void FillPath();
  void StrokePath();
  void StrokeAndFillPath();
  void SelectClipPath(int mode);

 private:
  struct State {
    int map_mode = gdi::kMmText;
    PointD window_org{0, 0}, window_ext{1, 1}, viewport_org{0, 0}, viewport_ext{1, 1};
    Affine world;
    MetafilePen pen;
    MetafileBrush brush;
    TColor bk_color = 0xFFFFFF;
    TColor text_color = 0;
    int bk_mode = gdi::kOpaque;
    int poly_fill_mode = gdi::kAlternate;
    int rop2 = kR2CopyPen;
    int arc_direction = gdi::kCounterClockwise;
    double miter_limit = 10;
    PointD current{0, 0};
    TRect clip{};
  };

  // Logical coordinates to target pixels.
  const Affine& Transform();
  void Invalidate() { transform_valid_ = false; }
  PointD ToTarget(PointD p) { return Transform().Apply(p); }
  std::vector<PointD> ToTarget(std::span<const PointD> points);
  TRect TargetRect(PointD a, PointD b);
  void ApplyClip(const TRect& clip);

  bool PenVisible() const;
  double PenWidth();  // in target pixels; <= 1 for a one-pixel pen
  bool ThinPen();
  Paint PenPaint() const;
  bool BrushVisible(const MetafileBrush& brush) const;
  Paint BrushPaint(const MetafileBrush& brush) const;
  FillRule PolyFillRule() const;

  // Draws or records closed or open figures (target pixels, corner convention).
  void FillFigures(const Figures& figures);
  void StrokeFigures(const Figures& figures);
  void FillAndStroke(const Figures& figures);
  void AddToPath(Figure figure);
  void AppendPoints(std::vector<PointD>& out, std::span<const PointD> target_points);
  void BoxShape(PointD a, PointD b, PointD radii, bool ellipse);
  void WideStroke(const Figure& figure, double width, Figures& out);
  void CountPoints(std::size_t n);

  MetafileCanvas& canvas_;
  DeviceSetup setup_;
  State state_;
  std::vector<State> saved_;
  Affine transform_;
  bool transform_valid_ = false;
  Figures path_;
  std::size_t path_points_ = 0;  // points held by path_
  bool in_path_ = false;
  bool figure_open_ = false;
};

}  // namespace qel
