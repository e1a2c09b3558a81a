#include "import/metafile/dc.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "import/metafile/dib.h"

namespace qel {

namespace {

// Saved states kept at most; further saves are ignored as a failing SaveDC would be.
constexpr std::size_t kMaxSavedStates = 4096;
// The largest bitmap kept as a brush tile.
constexpr std::int64_t kMaxPatternPixels = std::int64_t(1) << 20;

// The 8 x 8 hatch patterns: which pixels of a tile belong to the hatch lines.
bool HatchPixel(std::uint32_t hatch, int x, int y) {
  const bool horizontal = y == 7, vertical = x == 7, forward = x == y, backward = x + y == 7;
  switch (hatch) {
    case 0:
      return horizontal;
    case 1:
      return vertical;
    case 2:
      return forward;
    case 3:
      return backward;
    case 4:
      return horizontal || vertical;
    case 5:
      return forward || backward;
    default:
      return horizontal;
  }
}

}  // namespace

std::shared_ptr<const BrushPattern> MakePatternFromDib(const MetafileDib& dib) {
  if (std::int64_t(dib.Width()) * dib.Height() > kMaxPatternPixels) return nullptr;
  auto pattern = std::make_shared<BrushPattern>();
  pattern->width = dib.Width();
  pattern->height = dib.Height();
  pattern->colors.assign(std::size_t(dib.Width()) * std::size_t(dib.Height()), 0);
  pattern->drawn.assign(pattern->colors.size(), 1);
  for (int y = 0; y < dib.Height(); ++y) {
    if (dib.RowPresent(y))
      dib.ReadRow(y, 0, dib.Width(), &pattern->colors[std::size_t(y) * std::size_t(dib.Width())]);
  }
  return pattern;
}

MetafileBrush IndirectBrush(std::uint32_t style, TColor color, std::uint32_t hatch) {
  MetafileBrush brush;
  brush.style = style == gdi::kBsSolid || style == gdi::kBsHatched ? style : gdi::kBsNull;
  brush.color = color;
  brush.hatch = hatch;
  return brush;
}

BlitSource StoredRowsSource(const MetafileDib& dib, PointD src, PointD size) {
  const double top = dib.BottomUp() ? dib.Height() - src.y - size.y : src.y;
  return BlitSource{&dib, src.x, top, size.x, size.y};
}

MetafileObject MetafileObject::Pen(const MetafilePen& pen) {
  MetafileObject object;
  object.kind = Kind::kPen;
  object.pen = pen;
  return object;
}

MetafileObject MetafileObject::Brush(const MetafileBrush& brush) {
  MetafileObject object;
  object.kind = Kind::kBrush;
  object.brush = brush;
  return object;
}

MetafileObject MetafileObject::Region(PointD a, PointD b) {
  MetafileObject object;
  object.kind = Kind::kRegion;
  object.region_a = a;
  object.region_b = b;
  return object;
}

MetafileObject MetafileObject::Other() {
  MetafileObject object;
  object.kind = Kind::kOther;
  return object;
}

MetafileDC::MetafileDC(MetafileCanvas& canvas, const DeviceSetup& setup) : canvas_(canvas), setup_(setup) {
  state_.map_mode = setup.map_mode;
  state_.window_org = setup.window_org;
  state_.window_ext = setup.window_ext;
  state_.viewport_org = setup.viewport_org;
  state_.viewport_ext = setup.viewport_ext;
  state_.clip = canvas.Area();
}

// ---- Mapping ----

const Affine& MetafileDC::Transform() {
  if (transform_valid_) return transform_;
  const State& s = state_;
  double sx = 1, sy = 1;
  switch (s.map_mode) {
    case gdi::kMmLoMetric:
      sx = 0.1, sy = -0.1;
      break;
    case gdi::kMmHiMetric:
      sx = 0.01, sy = -0.01;
      break;
    case gdi::kMmLoEnglish:
      sx = 0.254, sy = -0.254;
      break;
    case gdi::kMmHiEnglish:
      sx = 0.0254, sy = -0.0254;
      break;
    case gdi::kMmTwips:
      sx = 25.4 / 1440, sy = -25.4 / 1440;
      break;
    default:
      break;
  }
  if (s.map_mode >= gdi::kMmLoMetric && s.map_mode <= gdi::kMmTwips) {
    sx *= setup_.pixels_per_mm_x;
    sy *= setup_.pixels_per_mm_y;
  } else if (s.map_mode == gdi::kMmIsotropic || s.map_mode == gdi::kMmAnisotropic) {
    sx = s.viewport_ext.x / s.window_ext.x;
    sy = s.viewport_ext.y / s.window_ext.y;
    if (s.map_mode == gdi::kMmIsotropic) {
      const double m = std::min(std::abs(sx), std::abs(sy));
      sx = std::copysign(m, sx);
      sy = std::copysign(m, sy);
    }
  }
  const Affine page{
      sx, 0, 0, sy, s.viewport_org.x - s.window_org.x * sx, s.viewport_org.y - s.window_org.y * sy};
  transform_ = s.world.Then(page).Then(setup_.device_to_target);
  transform_valid_ = true;
  return transform_;
}

void MetafileDC::SetMapMode(int mode) {
  if (mode < gdi::kMmText || mode > gdi::kMmAnisotropic) return;
  state_.map_mode = mode;
  Invalidate();
}

void MetafileDC::SetWindowOrg(PointD p) {
  if (!Finite(p)) return;
  state_.window_org = p;
  Invalidate();
}

void MetafileDC::SetViewportOrg(PointD p) {
  if (!Finite(p)) return;
  state_.viewport_org = p;
  Invalidate();
}

void MetafileDC::SetWindowExt(PointD e) {
  // Extents count only in the scalable modes, and never as zero.
  if (state_.map_mode != gdi::kMmIsotropic && state_.map_mode != gdi::kMmAnisotropic) return;
  if (!Finite(e) || e.x == 0 || e.y == 0) return;
  state_.window_ext = e;
  Invalidate();
}

void MetafileDC::SetViewportExt(PointD e) {
  if (state_.map_mode != gdi::kMmIsotropic && state_.map_mode != gdi::kMmAnisotropic) return;
  if (!Finite(e) || e.x == 0 || e.y == 0) return;
  state_.viewport_ext = e;
  Invalidate();
}

void MetafileDC::OffsetWindowOrg(PointD d) {
  SetWindowOrg({state_.window_org.x + d.x, state_.window_org.y + d.y});
}

void MetafileDC::OffsetViewportOrg(PointD d) {
  SetViewportOrg({state_.viewport_org.x + d.x, state_.viewport_org.y + d.y});
}

void MetafileDC::ScaleWindowExt(double x_num, double x_den, double y_num, double y_den) {
  if (x_den == 0 || y_den == 0) return;
  SetWindowExt({state_.window_ext.x * x_num / x_den, state_.window_ext.y * y_num / y_den});
}

void MetafileDC::ScaleViewportExt(double x_num, double x_den, double y_num, double y_den) {
  if (x_den == 0 || y_den == 0) return;
  SetViewportExt({state_.viewport_ext.x * x_num / x_den, state_.viewport_ext.y * y_num / y_den});
}

void MetafileDC::SetWorldTransform(const Affine& world) {
  if (!world.IsFinite() || world.Determinant() == 0) return;
  state_.world = world;
  Invalidate();
}

void MetafileDC::ModifyWorldTransform(const Affine& xform, int mode) {
  switch (mode) {
    case gdi::kMwtIdentity:
      state_.world = Affine();
      break;
    case gdi::kMwtLeftMultiply:
      SetWorldTransform(xform.Then(state_.world));
      break;
    case gdi::kMwtRightMultiply:
      SetWorldTransform(state_.world.Then(xform));
      break;
    case gdi::kMwtSet:
      SetWorldTransform(xform);
      break;
    default:
      return;
  }
  Invalidate();
}

void MetafileDC::SetRop2(int rop2) {
  if (rop2 >= 1 && rop2 <= 16) state_.rop2 = rop2;
}

void MetafileDC::SetMiterLimit(double limit) {
  if (std::isfinite(limit) && limit >= 1) state_.miter_limit = limit;
}

void MetafileDC::SelectObject(const MetafileObject& object) {
  switch (object.kind) {
    case MetafileObject::Kind::kPen:
      SelectPen(object.pen);
      break;
    case MetafileObject::Kind::kBrush:
      SelectBrush(object.brush);
      break;
    case MetafileObject::Kind::kRegion:
      IntersectClipRect(object.region_a, object.region_b);
      break;
    default:
      break;
  }
}

std::vector<PointD> MetafileDC::ToTarget(std::span<const PointD> points) {
  CountPoints(points.size());
  const Affine& t = Transform();
  std::vector<PointD> out;
  out.reserve(points.size());
  for (const PointD& p : points) out.push_back(t.Apply(p));
  return out;
}

TRect MetafileDC::TargetRect(PointD a, PointD b) {
  const Affine& t = Transform();
  const PointD corners[4] = {t.Apply(a), t.Apply(b), t.Apply({a.x, b.y}), t.Apply({b.x, a.y})};
  double l = corners[0].x, r = l, top = corners[0].y, bottom = top;
  for (const PointD& c : corners) {
    l = std::min(l, c.x), r = std::max(r, c.x);
    top = std::min(top, c.y), bottom = std::max(bottom, c.y);
  }
  return {RoundToInt(l), RoundToInt(top), RoundToInt(r), RoundToInt(bottom)};
}

// ---- Saved states and clipping ----

void MetafileDC::SaveDC() {
  if (saved_.size() < kMaxSavedStates) saved_.push_back(state_);
}

void MetafileDC::RestoreDC(int relative) {
  std::size_t keep;  // the number of saved states left after the restore
  if (relative < 0) {
    const std::size_t back = std::size_t(-std::int64_t(relative));
    if (back > saved_.size()) return;
    keep = saved_.size() - back;
  } else if (relative > 0) {
    if (std::size_t(relative) > saved_.size()) return;
    keep = std::size_t(relative) - 1;
  } else {
    return;
  }
  state_ = saved_[keep];
  saved_.resize(keep);
  canvas_.SetClip(state_.clip);
  Invalidate();
}

void MetafileDC::ApplyClip(const TRect& clip) {
  state_.clip = Intersect(clip, canvas_.Area());
  canvas_.SetClip(state_.clip);
}

void MetafileDC::IntersectClipRect(PointD a, PointD b) {
  if (!Finite(a) || !Finite(b)) return;
  ApplyClip(Intersect(state_.clip, TargetRect(a, b)));
}

void MetafileDC::ExcludeClipRect(PointD a, PointD b) {
  if (!Finite(a) || !Finite(b)) return;
  // Only exclusions that leave a rectangle are followed.
  const TRect e = TargetRect(a, b);
  TRect c = state_.clip;
  if (e.top <= c.top && e.bottom >= c.bottom) {
    if (e.left <= c.left && e.right > c.left)
      c.left = std::min(e.right, c.right);
    else if (e.right >= c.right && e.left < c.right)
      c.right = std::max(e.left, c.left);
  } else if (e.left <= c.left && e.right >= c.right) {
    if (e.top <= c.top && e.bottom > c.top)
      c.top = std::min(e.bottom, c.bottom);
    else if (e.bottom >= c.bottom && e.top < c.bottom)
      c.bottom = std::max(e.top, c.top);
  }
  ApplyClip(c);
}

void MetafileDC::OffsetClip(PointD logical_offset) {
  if (state_.clip == canvas_.Area()) return;  // no clip of its own
  const PointD d = Transform().ApplyVector(logical_offset);
  if (!Finite(d)) return;
  const int dx = RoundToInt(d.x), dy = RoundToInt(d.y);
  TRect c = state_.clip;
  ApplyClip({c.left + dx, c.top + dy, c.right + dx, c.bottom + dy});
}

void MetafileDC::SelectClipDeviceRects(std::span<const TRect> rects, int mode) {
  if (rects.empty()) {
    if (mode == gdi::kRgnCopy) ApplyClip(canvas_.Area());
    return;
  }
  const Affine& d = setup_.device_to_target;
  double l = std::numeric_limits<double>::infinity(), t = l, r = -l, b = -l;
  for (const TRect& rect : rects) {
    const PointD p = d.Apply({double(rect.left), double(rect.top)});
    const PointD q = d.Apply({double(rect.right), double(rect.bottom)});
    l = std::min({l, p.x, q.x}), r = std::max({r, p.x, q.x});
    t = std::min({t, p.y, q.y}), b = std::max({b, p.y, q.y});
  }
  const TRect box{RoundToInt(l), RoundToInt(t), RoundToInt(r), RoundToInt(b)};
  if (mode == gdi::kRgnCopy)
    ApplyClip(box);
  else if (mode == gdi::kRgnAnd)
    ApplyClip(Intersect(state_.clip, box));
}

// ---- Pens and brushes ----

bool MetafileDC::PenVisible() const {
  return (state_.pen.style & gdi::kPsStyleMask) != gdi::kPsNull;
}

double MetafileDC::PenWidth() {
  const MetafilePen& pen = state_.pen;
  if (pen.cosmetic || pen.width <= 0) return 1;
  const PointD v = Transform().ApplyVector({pen.width, 0});
  const double w = std::hypot(v.x, v.y);
  return std::isfinite(w) ? std::max(w, 1.0) : 1.0;
}

bool MetafileDC::ThinPen() {
  return PenWidth() < 1.5;
}

Paint MetafileDC::PenPaint() const {
  Paint paint;
  paint.color = state_.pen.color & 0xFFFFFF;
  paint.rop2 = state_.rop2;
  return paint;
}

bool MetafileDC::BrushVisible(const MetafileBrush& brush) const {
  if (brush.style == gdi::kBsNull) return false;
  if ((brush.style == gdi::kBsPattern || brush.style == gdi::kBsDibPattern ||
       brush.style == gdi::kBsDibPatternPt) &&
      !brush.pattern) {
    return false;
  }
  return true;
}

Paint MetafileDC::BrushPaint(const MetafileBrush& brush) const {
  Paint paint;
  paint.color = brush.color & 0xFFFFFF;
  paint.rop2 = state_.rop2;
  if (brush.style == gdi::kBsHatched) {
    auto hatch = std::make_shared<BrushPattern>();
    hatch->width = hatch->height = 8;
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) {
        const bool line = HatchPixel(brush.hatch, x, y);
        hatch->colors.push_back(line ? paint.color : state_.bk_color);
        hatch->drawn.push_back(line || state_.bk_mode == gdi::kOpaque ? 1 : 0);
      }
    }
    paint.pattern = std::move(hatch);
  } else if (brush.style != gdi::kBsSolid) {
    paint.pattern = brush.pattern;
  }
  return paint;
}

FillRule MetafileDC::PolyFillRule() const {
  return state_.poly_fill_mode == gdi::kWinding ? FillRule::kNonZero : FillRule::kEvenOdd;
}

}  // namespace qel
