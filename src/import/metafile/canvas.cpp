#include "import/metafile/canvas.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "imaging/errors.h"
#include "import/framework/messages.h"
#include "import/metafile/dib.h"

namespace qel {

namespace {

constexpr std::uint64_t kUnlimited = std::numeric_limits<std::uint64_t>::max();

// The binary raster operation code - 1 is a truth table over (P, D): bit (P << 1 | D).
TColor Mix2(int rop2, TColor p, TColor d) {
  const unsigned table = unsigned(rop2 - 1) & 0x0F;
  TColor r = 0;
  if (table & 1) r |= ~p & ~d;
  if (table & 2) r |= ~p & d;
  if (table & 4) r |= p & ~d;
  if (table & 8) r |= p & d;
  return r & 0xFFFFFF;
}

// The ternary operation index is a truth table over (P, S, D): bit (P << 2 | S << 1 | D).
TColor Mix3(unsigned table, TColor p, TColor s, TColor d) {
  TColor r = 0;
  for (unsigned i = 0; i < 8; ++i) {
    if (!((table >> i) & 1)) continue;
    r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
  }
  return r & 0xFFFFFF;
}

bool ReadsSource(unsigned table) {
  return (table & 0x33) != ((table >> 2) & 0x33);
}
bool ReadsPattern(unsigned table) {
  return (table & 0x0F) != ((table >> 4) & 0x0F);
}

TColor Load(const std::uint8_t* p) {
  return RGBColor(p[2], p[1], p[0]);
}
void Store(std::uint8_t* p, TColor c) {
  p[0] = BlueOf(c);
  p[1] = GreenOf(c);
  p[2] = RedOf(c);
}

// The first pixel whose centre is at or after the position, as a clamped integer.
std::int64_t FirstPixelFrom(double position) {
  const double v = std::ceil(position - 0.5);
  if (!(v > -1e15)) return std::int64_t(-1e15);
  if (v > 1e15) return std::int64_t(1e15);
  return std::int64_t(v);
}

int ClampToRange(std::int64_t v, int lo, int hi) {
  return int(std::clamp<std::int64_t>(v, lo, hi));
}

// Pixel index of a continuous position along a source axis of the given signed extent.
std::int64_t SourceIndex(double start, double extent, double t) {
  const double u = start + t * extent;
  const double v = extent > 0 ? std::floor(u) : std::ceil(u) - 1;
  if (!(v > -1e15) || v > 1e15) return -1;
  return std::int64_t(v);
}

struct Edge {
  double x_top, y_top, y_bottom, slope;  // slope: dx per dy
  int direction;
};

}  // namespace

MetafileCanvas::MetafileCanvas(Picture& target, const TRect& area, std::uint64_t budget,
                               std::string_view format)
    : target_(&target), budget_(budget), format_(format) {
  area_ = TRect{std::max(area.left, 0), std::max(area.top, 0), std::min(area.right, target.Width()),
                std::min(area.bottom, target.Height())};
  if (area_.right < area_.left) area_.right = area_.left;
  if (area_.bottom < area_.top) area_.bottom = area_.top;
  clip_ = area_;
}

MetafileCanvas::MetafileCanvas(const TRect& probe, std::string_view format)
    : area_(probe), clip_(probe), budget_(kUnlimited), format_(format) {}

void MetafileCanvas::SetClip(const TRect& clip) {
  clip_.left = std::clamp(clip.left, area_.left, area_.right);
  clip_.right = std::clamp(clip.right, clip_.left, area_.right);
  clip_.top = std::clamp(clip.top, area_.top, area_.bottom);
  clip_.bottom = std::clamp(clip.bottom, clip_.top, area_.bottom);
}

void MetafileCanvas::Charge(std::uint64_t units) {
  work_ += units;
  if (work_ > budget_) FailTooComplex();
}

void MetafileCanvas::FailTooComplex() const {
  throw EInvalidGraphic(FormatMessage(msg::kUnsupportedFeature, {"Drawings this complex", format_}));
}

TColor MetafileCanvas::PatternColor(const BrushPattern& pattern, int x, int y, bool* drawn) const {
  int px = (x - area_.left) % pattern.width, py = (y - area_.top) % pattern.height;
  if (px < 0) px += pattern.width;
  if (py < 0) py += pattern.height;
  const std::size_t i = std::size_t(py) * std::size_t(pattern.width) + std::size_t(px);
  if (drawn) *drawn = pattern.drawn[i] != 0;
  return pattern.colors[i];
}

void MetafileCanvas::PaintSpan(int y, int x0, int x1, const Paint& paint) {
  if (x0 >= x1 || paint.rop2 == kR2Nop) return;
  touched_ = true;
  Charge(std::uint64_t(x1 - x0));
  if (!target_) return;
  std::uint8_t* p = target_->Row(y) + 3 * std::size_t(x0);
  const BrushPattern* pattern = paint.pattern.get();
  if (pattern && (pattern->width <= 0 || pattern->height <= 0)) return;
  if (!pattern && paint.rop2 == kR2CopyPen) {
    for (int x = x0; x < x1; ++x, p += 3) Store(p, paint.color);
    return;
  }
  for (int x = x0; x < x1; ++x, p += 3) {
    TColor color = paint.color;
    if (pattern) {
      bool drawn = true;
      color = PatternColor(*pattern, x, y, &drawn);
      if (!drawn) continue;
    }
    Store(p, paint.rop2 == kR2CopyPen ? color : Mix2(paint.rop2, color, Load(p)));
  }
}

void MetafileCanvas::FillRect(const TRect& rect, const Paint& paint) {
  const int left = std::max(rect.left, clip_.left), right = std::min(rect.right, clip_.right);
  const int top = std::max(rect.top, clip_.top), bottom = std::min(rect.bottom, clip_.bottom);
  if (left >= right) return;
  for (int y = top; y < bottom; ++y) PaintSpan(y, left, right, paint);
}

void MetafileCanvas::SetPixel(int x, int y, const Paint& paint) {
  if (x < clip_.left || x >= clip_.right || y < clip_.top || y >= clip_.bottom) return;
  PaintSpan(y, x, x + 1, paint);
}

void MetafileCanvas::FillFigures(const Figures& figures, FillRule rule, const Paint& paint) {
  if (clip_.left >= clip_.right || clip_.top >= clip_.bottom) return;
  std::vector<Edge> edges;
  double min_y = std::numeric_limits<double>::infinity(), max_y = -min_y;
  for (const Figure& figure : figures) {
    const std::size_t n = figure.points.size();
    if (n < 2) continue;
    for (std::size_t i = 0; i < n; ++i) {
      PointD a = figure.points[i], b = figure.points[(i + 1) % n];
      if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) || !std::isfinite(b.y)) continue;
      if (a.y == b.y) continue;
      int direction = 1;
      if (a.y > b.y) {
        std::swap(a, b);
        direction = -1;
      }
      edges.push_back({a.x, a.y, b.y, (b.x - a.x) / (b.y - a.y), direction});
      min_y = std::min(min_y, a.y);
      max_y = std::max(max_y, b.y);
    }
  }
  Charge(edges.size());
  if (edges.empty()) return;
  const int row_begin = ClampToRange(FirstPixelFrom(min_y), clip_.top, clip_.bottom);
  const int row_end = ClampToRange(FirstPixelFrom(max_y), clip_.top, clip_.bottom);
  if (row_begin >= row_end) return;
  std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.y_top < b.y_top; });

  std::vector<const Edge*> active;
  std::vector<std::pair<double, int>> crossings;
  std::size_t next = 0;
  for (int y = row_begin; y < row_end; ++y) {
    const double yc = y + 0.5;
    while (next < edges.size() && edges[next].y_top <= yc) active.push_back(&edges[next++]);
    std::erase_if(active, [yc](const Edge* e) { return e->y_bottom <= yc; });
    Charge(active.size() + 1);
    crossings.clear();
    for (const Edge* e : active) crossings.emplace_back(e->x_top + (yc - e->y_top) * e->slope, e->direction);
    std::sort(crossings.begin(), crossings.end());
    int winding = 0;
    for (std::size_t i = 0; i + 1 < crossings.size(); ++i) {
      winding += rule == FillRule::kEvenOdd ? 1 : crossings[i].second;
      const bool inside = rule == FillRule::kEvenOdd ? (winding & 1) != 0 : winding != 0;
      if (!inside) continue;
      const int x0 = ClampToRange(FirstPixelFrom(crossings[i].first), clip_.left, clip_.right);
      const int x1 = ClampToRange(FirstPixelFrom(crossings[i + 1].first), clip_.left, clip_.right);
      PaintSpan(y, x0, x1, paint);
    }
  }
}

void MetafileCanvas::DrawLine(PointD a, PointD b, const Paint& paint, LineStyle& style) {
  if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) || !std::isfinite(b.y)) return;
  // Far-away end points are first brought within a range where the integer steps below
  // cannot overflow; only lines that run far outside the picture change.
  constexpr double kFar = double(1 << 29);
  {
    double t0 = 0, t1 = 1;
    const double d[2] = {b.x - a.x, b.y - a.y};
    const double s[2] = {a.x, a.y};
    for (int axis = 0; axis < 2; ++axis) {
      if (d[axis] == 0) {
        if (s[axis] < -kFar || s[axis] > kFar) return;
        continue;
      }
      double ta = (-kFar - s[axis]) / d[axis], tb = (kFar - s[axis]) / d[axis];
      if (ta > tb) std::swap(ta, tb);
      t0 = std::max(t0, ta);
      t1 = std::min(t1, tb);
    }
    if (t0 > t1) return;
    const PointD a2{a.x + t0 * d[0], a.y + t0 * d[1]}, b2{a.x + t1 * d[0], a.y + t1 * d[1]};
    a = a2;
    b = b2;
  }
  const std::int64_t x0 = std::int64_t(std::floor(a.x)), y0 = std::int64_t(std::floor(a.y));
  const std::int64_t x1 = std::int64_t(std::floor(b.x)), y1 = std::int64_t(std::floor(b.y));
  const std::int64_t dx = x1 - x0, dy = y1 - y0;
  const bool x_major = std::abs(dx) >= std::abs(dy);
  const std::int64_t steps = x_major ? std::abs(dx) : std::abs(dy);
  const std::uint64_t start_position = style.position;
  style.position += std::uint64_t(steps);
  if (steps == 0) return;

  // The steps whose pixels can fall inside the clip (with a pixel to spare).
  double k_lo = 0, k_hi = double(steps - 1);
  {
    const double bounds[2][2] = {{clip_.left - 1.0, double(clip_.right)},
                                 {clip_.top - 1.0, double(clip_.bottom)}};
    const double start[2] = {double(x0), double(y0)};
    const double delta[2] = {double(dx) / double(steps), double(dy) / double(steps)};
    for (int axis = 0; axis < 2; ++axis) {
      if (delta[axis] == 0) {
        if (start[axis] < bounds[axis][0] || start[axis] > bounds[axis][1]) return;
        continue;
      }
      double ka = (bounds[axis][0] - start[axis]) / delta[axis],
             kb = (bounds[axis][1] - start[axis]) / delta[axis];
      if (ka > kb) std::swap(ka, kb);
      k_lo = std::max(k_lo, std::floor(ka));
      k_hi = std::min(k_hi, std::ceil(kb));
    }
  }
  if (k_lo > k_hi) return;

  std::int64_t dash_total = 0;
  for (int len : style.dashes) dash_total += len;
  const std::int64_t major_sign = (x_major ? dx : dy) < 0 ? -1 : 1;
  const std::int64_t minor_delta = x_major ? dy : dx;
  const std::int64_t minor_abs = std::abs(minor_delta), minor_sign = minor_delta < 0 ? -1 : 1;
  Charge(std::uint64_t(k_hi - k_lo + 1));
  for (std::int64_t k = std::int64_t(k_lo); k <= std::int64_t(k_hi); ++k) {
    // The minor coordinate rounded half up: the pixels of Bresenham's line.
    const std::int64_t minor = (2 * k * minor_abs + steps) / (2 * steps);
    const std::int64_t px = x_major ? x0 + major_sign * k : x0 + minor_sign * minor;
    const std::int64_t py = x_major ? y0 + minor_sign * minor : y0 + major_sign * k;
    if (px < clip_.left || px >= clip_.right || py < clip_.top || py >= clip_.bottom) continue;
    const Paint* use = &paint;
    Paint gap;
    if (dash_total > 0) {
      std::int64_t phase = std::int64_t((start_position + std::uint64_t(k)) % std::uint64_t(dash_total));
      std::size_t i = 0;
      while (phase >= style.dashes[i]) phase -= style.dashes[i++];
      if (i % 2 == 1) {
        if (!style.opaque_gaps) continue;
        gap.color = style.gap_color;
        gap.rop2 = paint.rop2;
        use = &gap;
      }
    }
    PaintSpan(int(py), int(px), int(px) + 1, *use);
  }
}

void MetafileCanvas::StretchBlit(double x, double y, double width, double height, const BlitSource* source,
                                 std::uint32_t rop, const Paint& brush) {
  if (!(width != 0 && height != 0) || !std::isfinite(x) || !std::isfinite(y) || !std::isfinite(width) ||
      !std::isfinite(height)) {
    return;
  }
  const unsigned table = (rop >> 16) & 0xFF;
  if (table == 0xAA) return;  // the destination unchanged
  const bool reads_source = ReadsSource(table);
  if (reads_source && (!source || !source->dib || source->width == 0 || source->height == 0)) return;
  const bool reads_pattern = ReadsPattern(table);
  const bool reads_destination = (table & 0x55) != ((table >> 1) & 0x55);

  const int col_begin = ClampToRange(FirstPixelFrom(std::min(x, x + width)), clip_.left, clip_.right);
  const int col_end = ClampToRange(FirstPixelFrom(std::max(x, x + width)), clip_.left, clip_.right);
  const int row_begin = ClampToRange(FirstPixelFrom(std::min(y, y + height)), clip_.top, clip_.bottom);
  const int row_end = ClampToRange(FirstPixelFrom(std::max(y, y + height)), clip_.top, clip_.bottom);
  if (col_begin >= col_end || row_begin >= row_end) return;

  // Source column of each destination column (-1: outside the bitmap).
  std::vector<std::int64_t> columns;
  std::int64_t min_col = std::numeric_limits<std::int64_t>::max(), max_col = -1;
  const MetafileDib* dib = reads_source ? source->dib : nullptr;
  if (dib) {
    columns.resize(std::size_t(col_end - col_begin));
    for (int px = col_begin; px < col_end; ++px) {
      std::int64_t sx = SourceIndex(source->x, source->width, (px + 0.5 - x) / width);
      if (sx < 0 || sx >= dib->Width()) sx = -1;
      columns[std::size_t(px - col_begin)] = sx;
      if (sx >= 0) {
        min_col = std::min(min_col, sx);
        max_col = std::max(max_col, sx);
      }
    }
    if (max_col < 0) return;
  }
  std::vector<TColor> row_colors(dib ? std::size_t(max_col - min_col + 1) : 0);
  std::int64_t loaded_row = -1;
  for (int py = row_begin; py < row_end; ++py) {
    if (dib) {
      const std::int64_t sy = SourceIndex(source->y, source->height, (py + 0.5 - y) / height);
      if (sy < 0 || sy >= dib->Height() || !dib->RowPresent(int(sy))) continue;
      if (sy != loaded_row) {
        Charge(row_colors.size());
        if (target_) dib->ReadRow(int(sy), int(min_col), int(max_col + 1), row_colors.data());
        loaded_row = sy;
      }
    }
    touched_ = true;
    Charge(std::uint64_t(col_end - col_begin));
    if (!target_) continue;
    std::uint8_t* p = target_->Row(py) + 3 * std::size_t(col_begin);
    for (int px = col_begin; px < col_end; ++px, p += 3) {
      TColor s = 0;
      if (dib) {
        const std::int64_t sx = columns[std::size_t(px - col_begin)];
        if (sx < 0) continue;
        s = row_colors[std::size_t(sx - min_col)];
        if (table == 0xCC) {
          Store(p, s);
          continue;
        }
      }
      TColor pattern = brush.color;
      if (reads_pattern && brush.pattern && brush.pattern->width > 0 && brush.pattern->height > 0) {
        pattern = PatternColor(*brush.pattern, px, py, nullptr);
      }
      Store(p, Mix3(table, pattern, s, reads_destination ? Load(p) : 0));
    }
  }
}

}  // namespace qel
