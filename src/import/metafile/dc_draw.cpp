// The drawing calls of the metafile device context: lines, curves, boxes, blocks and
// paths turned into figures in target pixels and handed to the canvas.
#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "import/metafile/dc.h"

namespace qel {

namespace {

// The figures one drawing call or one path may hold.
constexpr std::size_t kMaxFigurePoints = std::size_t(1) << 24;

constexpr double kPi = std::numbers::pi;

// Makes every polygon turn the same way, so that a non-zero fill gives their union.
void AddOriented(std::vector<PointD> polygon, Figures& out) {
  const double area = SignedArea2(polygon);
  if (area == 0 || !std::isfinite(area)) return;
  if (area < 0) std::reverse(polygon.begin(), polygon.end());
  out.push_back({std::move(polygon), true});
}

std::vector<PointD> Disc(PointD c, double r) {
  std::vector<PointD> points;
  const int segments = std::max(8, CurveSegments(2 * kPi * r));
  AppendEllipseArc(c, r, r, 0, 2 * kPi, segments, points);
  points.pop_back();  // the same as the first
  return points;
}

}  // namespace

void MetafileDC::CountPoints(std::size_t n) {
  if (n > kMaxFigurePoints) canvas_.FailTooComplex();
  canvas_.Charge(n);
}

// ---- Figures ----

void MetafileDC::FillFigures(const Figures& figures) {
  if (!BrushVisible(state_.brush)) return;
  canvas_.FillFigures(figures, PolyFillRule(), BrushPaint(state_.brush));
}

void MetafileDC::StrokeFigures(const Figures& figures) {
  if (!PenVisible()) return;
  const Paint paint = PenPaint();
  if (ThinPen()) {
    static constexpr int kDash[] = {18, 6}, kDot[] = {3, 3}, kDashDot[] = {9, 6, 3, 6},
                         kDashDotDot[] = {9, 3, 3, 3, 3, 3};
    LineStyle style;
    switch (state_.pen.style & gdi::kPsStyleMask) {
      case gdi::kPsDash:
        style.dashes.assign(std::begin(kDash), std::end(kDash));
        break;
      case gdi::kPsDot:
        style.dashes.assign(std::begin(kDot), std::end(kDot));
        break;
      case gdi::kPsDashDot:
        style.dashes.assign(std::begin(kDashDot), std::end(kDashDot));
        break;
      case gdi::kPsDashDotDot:
        style.dashes.assign(std::begin(kDashDotDot), std::end(kDashDotDot));
        break;
      default:
        break;
    }
    style.opaque_gaps = state_.bk_mode == gdi::kOpaque;
    style.gap_color = state_.bk_color;
    // Points are pixel corners; a one-pixel pen runs through the pixels they name.
    auto centre = [](PointD p) { return PointD{p.x + 0.5, p.y + 0.5}; };
    for (const Figure& figure : figures) {
      const auto& pts = figure.points;
      for (std::size_t i = 0; i + 1 < pts.size(); ++i)
        canvas_.DrawLine(centre(pts[i]), centre(pts[i + 1]), paint, style);
      if (figure.closed && pts.size() > 2)
        canvas_.DrawLine(centre(pts.back()), centre(pts.front()), paint, style);
    }
    return;
  }
  const double width = PenWidth();
  Figures outline;
  for (const Figure& figure : figures) WideStroke(figure, width, outline);
  canvas_.FillFigures(outline, FillRule::kNonZero, paint);
}

void MetafileDC::FillAndStroke(const Figures& figures) {
  if (in_path_) {
    for (const Figure& f : figures) AddToPath(f);
    return;
  }
  FillFigures(figures);
  StrokeFigures(figures);
}

void MetafileDC::WideStroke(const Figure& figure, double width, Figures& out) {
  const double half = width / 2;
  // Pixel corners to pixel centres, as for the one-pixel pen.
  std::vector<PointD> pts;
  pts.reserve(figure.points.size());
  for (const PointD& p : figure.points) {
    if (!Finite(p)) continue;
    const PointD c{p.x + 0.5, p.y + 0.5};
    if (pts.empty() || c.x != pts.back().x || c.y != pts.back().y) pts.push_back(c);
  }
  const bool closed = figure.closed && pts.size() > 2;
  if (closed && pts.front().x == pts.back().x && pts.front().y == pts.back().y) pts.pop_back();
  const std::uint32_t cap = state_.pen.style & gdi::kPsEndCapMask;
  const std::uint32_t join = state_.pen.style & gdi::kPsJoinMask;
  const TRect& clip = canvas_.Clip();
  auto visible = [&](double l, double t, double r, double b) {
    return r + half >= clip.left && l - half <= clip.right && b + half >= clip.top && t - half <= clip.bottom;
  };
  CountPoints(pts.size() * 8);
  if (pts.size() == 1) {
    if (cap != gdi::kPsEndCapFlat && visible(pts[0].x, pts[0].y, pts[0].x, pts[0].y)) {
      AddOriented(Disc(pts[0], half), out);
    }
    return;
  }
  const std::size_t segments = closed ? pts.size() : pts.size() - 1;
  auto direction = [&](std::size_t i) {
    const PointD a = pts[i], b = pts[(i + 1) % pts.size()];
    const double len = std::hypot(b.x - a.x, b.y - a.y);
    return PointD{(b.x - a.x) / len, (b.y - a.y) / len};
  };
  for (std::size_t i = 0; i < segments; ++i) {
    PointD a = pts[i], b = pts[(i + 1) % pts.size()];
    if (!visible(std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y))) continue;
    const PointD d = direction(i);
    if (!closed && cap == gdi::kPsEndCapSquare) {
      if (i == 0) a = {a.x - d.x * half, a.y - d.y * half};
      if (i + 1 == segments) b = {b.x + d.x * half, b.y + d.y * half};
    }
    const PointD n{-d.y * half, d.x * half};
    AddOriented(
        {{a.x + n.x, a.y + n.y}, {b.x + n.x, b.y + n.y}, {b.x - n.x, b.y - n.y}, {a.x - n.x, a.y - n.y}},
        out);
  }
  // Joins at the inner vertices (all of them when closed), caps at the open ends.
  for (std::size_t i = 0; i < pts.size(); ++i) {
    const PointD v = pts[i];
    if (!visible(v.x, v.y, v.x, v.y)) continue;
    const bool end = !closed && (i == 0 || i + 1 == pts.size());
    if (end) {
      if (cap != gdi::kPsEndCapSquare && cap != gdi::kPsEndCapFlat) AddOriented(Disc(v, half), out);
      continue;
    }
    if (join != gdi::kPsJoinBevel && join != gdi::kPsJoinMiter) {
      AddOriented(Disc(v, half), out);
      continue;
    }
    const PointD d0 = direction((i + pts.size() - 1) % pts.size()), d1 = direction(i);
    const PointD n0{-d0.y * half, d0.x * half}, n1{-d1.y * half, d1.x * half};
    for (int side = -1; side <= 1; side += 2) {
      const PointD p0{v.x + side * n0.x, v.y + side * n0.y}, p1{v.x + side * n1.x, v.y + side * n1.y};
      const double cos_turn = d0.x * d1.x + d0.y * d1.y;
      const double miter_scale = std::sqrt(2 / std::max(1 + cos_turn, 1e-12));  // 1 / cos(turn / 2)
      if (join == gdi::kPsJoinMiter && miter_scale <= state_.miter_limit) {
        PointD m{n0.x + n1.x, n0.y + n1.y};
        const double len = std::hypot(m.x, m.y);
        if (len > 0) {
          m = {v.x + side * m.x / len * half * miter_scale, v.y + side * m.y / len * half * miter_scale};
          AddOriented({v, p0, m, p1}, out);
          continue;
        }
      }
      AddOriented({v, p0, p1}, out);
    }
  }
}

void MetafileDC::AddToPath(Figure figure) {
  path_points_ += figure.points.size();
  if (path_points_ > kMaxFigurePoints) canvas_.FailTooComplex();
  path_.push_back(std::move(figure));
  figure_open_ = false;
}

void MetafileDC::AppendPoints(std::vector<PointD>& out, std::span<const PointD> target_points) {
  if (out.size() + target_points.size() > kMaxFigurePoints) canvas_.FailTooComplex();
  if (in_path_) {
    path_points_ += target_points.size();
    if (path_points_ > kMaxFigurePoints) canvas_.FailTooComplex();
  }
  out.insert(out.end(), target_points.begin(), target_points.end());
}

// ---- Lines and curves ----

void MetafileDC::MoveTo(PointD p) {
  if (!Finite(p)) return;
  state_.current = p;
  if (in_path_) figure_open_ = false;
}

void MetafileDC::LineTo(PointD p) {
  const PointD pts[1] = {p};
  PolylineTo(pts);
}

void MetafileDC::PolylineTo(std::span<const PointD> points) {
  if (points.empty()) return;
  std::vector<PointD> target = ToTarget(points);
  if (in_path_) {
    if (!figure_open_ || path_.empty()) {
      path_.push_back({{ToTarget(state_.current)}, false});
      figure_open_ = true;
    }
    AppendPoints(path_.back().points, target);
  } else {
    Figure f{{ToTarget(state_.current)}, false};
    AppendPoints(f.points, target);
    StrokeFigures({f});
  }
  state_.current = points.back();
}

void MetafileDC::Polyline(std::span<const PointD> points) {
  if (points.size() < 2) return;
  Figure f{ToTarget(points), false};
  if (in_path_) {
    AddToPath(std::move(f));
    return;
  }
  StrokeFigures({f});
}

void MetafileDC::PolyBezier(std::span<const PointD> points) {
  if (points.size() < 4) return;
  const PointD start = state_.current;
  const bool open = figure_open_;
  MoveTo(points[0]);
  PolyBezierTo(points.subspan(1));
  // A Bezier outside PolyBezierTo neither uses nor moves the current position.
  state_.current = start;
  if (!in_path_) figure_open_ = open;
}

void MetafileDC::PolyBezierTo(std::span<const PointD> points) {
  const std::size_t n = points.size() / 3 * 3;
  if (n == 0) return;
  const Affine& t = Transform();
  std::vector<PointD> flat;
  PointD p0 = t.Apply(state_.current);
  CountPoints(n);
  for (std::size_t i = 0; i < n; i += 3) {
    const PointD p1 = t.Apply(points[i]), p2 = t.Apply(points[i + 1]), p3 = t.Apply(points[i + 2]);
    const double hull = std::hypot(p1.x - p0.x, p1.y - p0.y) + std::hypot(p2.x - p1.x, p2.y - p1.y) +
                        std::hypot(p3.x - p2.x, p3.y - p2.y);
    const int segments = CurveSegments(hull);
    if (flat.size() + std::size_t(segments) > kMaxFigurePoints) canvas_.FailTooComplex();
    FlattenBezier(p0, p1, p2, p3, segments, flat);
    p0 = p3;
  }
  canvas_.Charge(flat.size());
  if (in_path_) {
    if (!figure_open_ || path_.empty()) {
      path_.push_back({{t.Apply(state_.current)}, false});
      figure_open_ = true;
    }
    AppendPoints(path_.back().points, flat);
  } else {
    Figure f{{t.Apply(state_.current)}, false};
    AppendPoints(f.points, flat);
    StrokeFigures({f});
  }
  state_.current = points[n - 1];
}

void MetafileDC::PolyDraw(std::span<const PointD> points, std::span<const std::uint8_t> types) {
  constexpr std::uint8_t kClose = 1, kLineTo = 2, kBezierTo = 4, kMoveTo = 6;
  // Drawn as a path of its own unless a path is being recorded.
  const bool recording = in_path_;
  Figures saved;
  const std::size_t saved_points = path_points_;
  if (!recording) {
    saved.swap(path_);
    path_points_ = 0;
    in_path_ = true;
    figure_open_ = false;
  }
  const std::size_t n = std::min(points.size(), types.size());
  for (std::size_t i = 0; i < n;) {
    const std::uint8_t type = types[i] & ~kClose;
    std::size_t used = 1;
    if (type == kMoveTo) {
      MoveTo(points[i]);
    } else if (type == kLineTo) {
      LineTo(points[i]);
    } else if (type == kBezierTo && i + 2 < n) {
      PolyBezierTo(points.subspan(i, 3));
      used = 3;
    }
    if (types[i + used - 1] & kClose) CloseFigure();
    i += used;
  }
  if (!recording) {
    in_path_ = false;
    Figures drawn;
    drawn.swap(path_);
    path_.swap(saved);
    path_points_ = saved_points;
    StrokeFigures(drawn);
  }
}

void MetafileDC::Polygon(std::span<const PointD> points) {
  if (points.size() < 2) return;
  FillAndStroke({{ToTarget(points), true}});
}

void MetafileDC::PolyPolygon(std::span<const PointD> points, std::span<const std::uint32_t> counts) {
  Figures figures;
  std::size_t at = 0;
  for (std::uint32_t count : counts) {
    if (count > points.size() - at) break;
    figures.push_back({ToTarget(points.subspan(at, count)), true});
    at += count;
  }
  FillAndStroke(figures);
}

void MetafileDC::PolyPolyline(std::span<const PointD> points, std::span<const std::uint32_t> counts) {
  std::size_t at = 0;
  for (std::uint32_t count : counts) {
    if (count > points.size() - at) break;
    Polyline(points.subspan(at, count));
    at += count;
  }
}

// ---- Boxes ----

void MetafileDC::BoxShape(PointD a, PointD b, PointD radii, bool ellipse) {
  if (!Finite(a) || !Finite(b) || !Finite(radii)) return;
  const Affine& t = Transform();
  if (in_path_ || !t.IsAxisAligned()) {
    // Built in logical space, with curve steps chosen for the size it reaches the target at.
    const double scale = std::sqrt(std::abs(t.Determinant()));
    if (!(scale > 0) || !std::isfinite(scale)) return;
    const PointD r = ellipse ? PointD{std::abs(b.x - a.x) / 2, std::abs(b.y - a.y) / 2} : radii;
    std::vector<PointD> poly =
        RoundRectPolygon(a.x * scale, a.y * scale, b.x * scale, b.y * scale, r.x * scale, r.y * scale);
    const Affine back = Affine::Scaling(1 / scale, 1 / scale).Then(t);
    for (PointD& p : poly) p = back.Apply(p);
    CountPoints(poly.size());
    FillAndStroke({{std::move(poly), true}});
    return;
  }
  const PointD p = t.Apply(a), q = t.Apply(b);
  const double l = std::min(p.x, q.x), r = std::max(p.x, q.x), top = std::min(p.y, q.y),
               bottom = std::max(p.y, q.y);
  const double rx = ellipse ? (r - l) / 2 : std::abs(radii.x * t.m11);
  const double ry = ellipse ? (bottom - top) / 2 : std::abs(radii.y * t.m22);
  auto shape = [&](double inset) {
    return RoundRectPolygon(l + inset, top + inset, r - inset, bottom - inset, std::max(rx - inset, 0.0),
                            std::max(ry - inset, 0.0));
  };
  auto empty_at = [&](double inset) { return l + inset >= r - inset || top + inset >= bottom - inset; };
  const bool pen = PenVisible();
  const bool thin = pen && ThinPen();
  const double width = pen ? PenWidth() : 0;
  const bool inside_frame = (state_.pen.style & gdi::kPsStyleMask) == gdi::kPsInsideFrame;
  // The ring of the pen: from the outer inset to the inner one.
  const double outer = thin || inside_frame ? 0 : 0.5 - width / 2;
  const double inner = thin ? 1 : (inside_frame ? width : 0.5 + width / 2);
  if (BrushVisible(state_.brush)) {
    const double fill_inset = pen ? inner : 0;
    if (!empty_at(fill_inset)) {
      Figures fill{{shape(fill_inset), true}};
      CountPoints(fill[0].points.size());
      canvas_.FillFigures(fill, FillRule::kEvenOdd, BrushPaint(state_.brush));
    }
  }
  if (!pen || empty_at(outer)) return;
  const std::uint32_t style = state_.pen.style & gdi::kPsStyleMask;
  if (thin && style >= gdi::kPsDash && style <= gdi::kPsDashDotDot) {
    // Dashes follow the outline through the centres of its pixels.
    StrokeFigures(
        {{RoundRectPolygon(l, top, r - 1, bottom - 1, std::max(rx - 0.5, 0.0), std::max(ry - 0.5, 0.0)),
          true}});
    return;
  }
  Figures ring{{shape(outer), true}};
  if (!empty_at(inner)) ring.push_back({shape(inner), true});
  CountPoints(ring[0].points.size() * 2);
  canvas_.FillFigures(ring, FillRule::kEvenOdd, PenPaint());
}

void MetafileDC::Rectangle(PointD a, PointD b) {
  BoxShape(a, b, {0, 0}, false);
}

void MetafileDC::RoundRect(PointD a, PointD b, PointD corner) {
  BoxShape(a, b, {std::abs(corner.x) / 2, std::abs(corner.y) / 2}, false);
}

void MetafileDC::Ellipse(PointD a, PointD b) {
  BoxShape(a, b, {0, 0}, true);
}

void MetafileDC::Arc(ArcKind kind, PointD a, PointD b, PointD start, PointD end) {
  if (!Finite(a) || !Finite(b) || !Finite(start) || !Finite(end)) return;
  const PointD c{(a.x + b.x) / 2, (a.y + b.y) / 2};
  const double rx = std::abs(b.x - a.x) / 2, ry = std::abs(b.y - a.y) / 2;
  if (rx == 0 || ry == 0) return;
  const Affine& t = Transform();
  const double a0 = std::atan2((start.y - c.y) * rx, (start.x - c.x) * ry);
  const double a1 = std::atan2((end.y - c.y) * rx, (end.x - c.x) * ry);
  // The direction is that seen on the target: counter-clockwise there is a falling
  // angle on a y-down grid, unless the mapping mirrors.
  bool falling = state_.arc_direction != gdi::kClockwise;
  if (t.Determinant() < 0) falling = !falling;
  double sweep = a1 - a0;
  if (falling) {
    while (sweep >= 0) sweep -= 2 * kPi;
  } else {
    while (sweep <= 0) sweep += 2 * kPi;
  }
  const PointD radius = t.ApplyVector({rx, ry});
  const int segments = CurveSegments(std::abs(sweep) * std::max(std::abs(radius.x), std::abs(radius.y)) + 4);
  std::vector<PointD> logical;
  AppendEllipseArc(c, rx, ry, a0, sweep, segments, logical);
  Figure figure{ToTarget(logical), kind == ArcKind::kChord || kind == ArcKind::kPie};
  if (kind == ArcKind::kPie) figure.points.push_back(ToTarget(c));
  if (kind == ArcKind::kArcTo) {
    const PointD to = logical.front();
    LineTo(to);
    PolylineTo(std::span<const PointD>(logical).subspan(1));
    return;
  }
  if (kind == ArcKind::kArc) {
    if (in_path_)
      AddToPath(std::move(figure));
    else
      StrokeFigures({figure});
    return;
  }
  FillAndStroke({std::move(figure)});
}

void MetafileDC::AngleArc(PointD centre, double radius, double start_degrees, double sweep_degrees) {
  if (!Finite(centre) || !std::isfinite(radius) || !std::isfinite(start_degrees) ||
      !std::isfinite(sweep_degrees)) {
    return;
  }
  sweep_degrees = std::clamp(sweep_degrees, -360.0 * 16, 360.0 * 16);
  const double a0 = -start_degrees * kPi / 180, sweep = -sweep_degrees * kPi / 180;
  const PointD r = Transform().ApplyVector({radius, radius});
  const int segments = CurveSegments(std::abs(sweep) * std::max(std::abs(r.x), std::abs(r.y)) + 4);
  std::vector<PointD> logical;
  AppendEllipseArc(centre, std::abs(radius), std::abs(radius), a0, sweep, segments, logical);
  LineTo(logical.front());
  PolylineTo(std::span<const PointD>(logical).subspan(1));
}

// ---- Pixels and blocks ----

void MetafileDC::SetPixel(PointD p, TColor color) {
  if (!Finite(p)) return;
  const PointD q = ToTarget(p);
  Paint paint;
  paint.color = color & 0xFFFFFF;
  canvas_.SetPixel(RoundToInt(std::floor(q.x + 1e-9)), RoundToInt(std::floor(q.y + 1e-9)), paint);
}

void MetafileDC::FillSolidRect(PointD a, PointD b, TColor color) {
  if (!Finite(a) || !Finite(b)) return;
  Paint paint;
  paint.color = color & 0xFFFFFF;
  canvas_.FillRect(TargetRect(a, b), paint);
}

void MetafileDC::FillDeviceRects(std::span<const TRect> rects, const MetafileBrush& brush) {
  if (!BrushVisible(brush)) return;
  const Paint paint = BrushPaint(brush);
  const Affine& d = setup_.device_to_target;
  for (const TRect& r : rects) {
    const PointD p = d.Apply({double(r.left), double(r.top)}),
                 q = d.Apply({double(r.right), double(r.bottom)});
    canvas_.FillRect({RoundToInt(std::min(p.x, q.x)), RoundToInt(std::min(p.y, q.y)),
                      RoundToInt(std::max(p.x, q.x)), RoundToInt(std::max(p.y, q.y))},
                     paint);
  }
}

void MetafileDC::PatBlt(PointD origin, PointD size, std::uint32_t rop) {
  if (!Finite(origin) || !Finite(size)) return;
  // A hollow brush paints nothing where the operation would use it.
  const unsigned table = (rop >> 16) & 0xFF;
  if (!BrushVisible(state_.brush) && (table & 0x0F) != (table >> 4)) return;
  const PointD p = ToTarget(origin), q = ToTarget({origin.x + size.x, origin.y + size.y});
  canvas_.StretchBlit(p.x, p.y, q.x - p.x, q.y - p.y, nullptr, rop, BrushPaint(state_.brush));
}

void MetafileDC::StretchDib(PointD origin, PointD size, const BlitSource& source, std::uint32_t rop) {
  if (!Finite(origin) || !Finite(size)) return;
  const PointD p = ToTarget(origin), q = ToTarget({origin.x + size.x, origin.y + size.y});
  canvas_.StretchBlit(p.x, p.y, q.x - p.x, q.y - p.y, &source, rop, BrushPaint(state_.brush));
}

void MetafileDC::DeviceSizedDib(PointD origin, const BlitSource& source, std::uint32_t rop) {
  if (!Finite(origin)) return;
  const PointD p = ToTarget(origin);
  const PointD size = setup_.device_to_target.ApplyVector({std::abs(source.width), std::abs(source.height)});
  canvas_.StretchBlit(p.x, p.y, size.x, size.y, &source, rop, BrushPaint(state_.brush));
}

// ---- Paths ----

void MetafileDC::BeginPath() {
  path_.clear();
  path_points_ = 0;
  in_path_ = true;
  figure_open_ = false;
}

void MetafileDC::AbortPath() {
  path_.clear();
  path_points_ = 0;
  in_path_ = false;
  figure_open_ = false;
}

void MetafileDC::CloseFigure() {
  if (!in_path_ || path_.empty()) return;
  path_.back().closed = true;
  figure_open_ = false;
}

void MetafileDC::FillPath() {
  if (in_path_) return;
  Figures figures;
  figures.swap(path_);
  path_points_ = 0;
  FillFigures(figures);
}

void MetafileDC::StrokePath() {
  if (in_path_) return;
  Figures figures;
  figures.swap(path_);
  path_points_ = 0;
  StrokeFigures(figures);
}

void MetafileDC::StrokeAndFillPath() {
  if (in_path_) return;
  Figures figures;
  figures.swap(path_);
  path_points_ = 0;
  FillFigures(figures);
  StrokeFigures(figures);
}

void MetafileDC::SelectClipPath(int mode) {
  if (in_path_) return;
  Figures figures;
  figures.swap(path_);
  path_points_ = 0;
  double l = std::numeric_limits<double>::infinity(), t = l, r = -l, b = -l;
  for (const Figure& f : figures) {
    for (const PointD& p : f.points) {
      if (!Finite(p)) continue;
      l = std::min(l, p.x), r = std::max(r, p.x), t = std::min(t, p.y), b = std::max(b, p.y);
    }
  }
  if (!(l <= r)) return;
  const TRect box{RoundToInt(l), RoundToInt(t), RoundToInt(r), RoundToInt(b)};
  if (mode == gdi::kRgnCopy)
    ApplyClip(box);
  else if (mode == gdi::kRgnAnd)
    ApplyClip(Intersect(state_.clip, box));
}

}  // namespace qel
