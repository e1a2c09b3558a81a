#include "import/metafile/geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qel {

Affine Affine::Then(const Affine& n) const {
  Affine r;
  r.m11 = m11 * n.m11 + m12 * n.m21;
  r.m12 = m11 * n.m12 + m12 * n.m22;
  r.m21 = m21 * n.m11 + m22 * n.m21;
  r.m22 = m21 * n.m12 + m22 * n.m22;
  r.dx = dx * n.m11 + dy * n.m21 + n.dx;
  r.dy = dx * n.m12 + dy * n.m22 + n.dy;
  return r;
}

bool Affine::IsFinite() const {
  return std::isfinite(m11) && std::isfinite(m12) && std::isfinite(m21) && std::isfinite(m22) &&
         std::isfinite(dx) && std::isfinite(dy);
}

double SignedArea2(const std::vector<PointD>& points) {
  double area = 0;
  for (std::size_t i = 0, n = points.size(); i < n; ++i) {
    const PointD& a = points[i];
    const PointD& b = points[(i + 1) % n];
    area += a.x * b.y - b.x * a.y;
  }
  return area;
}

void FlattenBezier(PointD p0, PointD p1, PointD p2, PointD p3, int segments, std::vector<PointD>& out) {
  segments = std::max(segments, 1);
  for (int i = 1; i <= segments; ++i) {
    const double t = double(i) / segments, u = 1 - t;
    const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
    out.push_back({a * p0.x + b * p1.x + c * p2.x + d * p3.x, a * p0.y + b * p1.y + c * p2.y + d * p3.y});
  }
}

int CurveSegments(double length_in_pixels) {
  if (!std::isfinite(length_in_pixels)) return 1;
  // About one segment every three pixels, enough for a curve without anti-aliasing.
  return int(std::clamp(length_in_pixels / 3.0, 1.0, 256.0));
}

void AppendEllipseArc(PointD c, double rx, double ry, double a0, double sweep, int segments,
                      std::vector<PointD>& out) {
  segments = std::max(segments, 1);
  for (int i = 0; i <= segments; ++i) {
    const double a = a0 + sweep * i / segments;
    out.push_back({c.x + rx * std::cos(a), c.y + ry * std::sin(a)});
  }
}

std::vector<PointD> RoundRectPolygon(double left, double top, double right, double bottom, double rx,
                                     double ry) {
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  rx = std::clamp(rx, 0.0, (right - left) / 2);
  ry = std::clamp(ry, 0.0, (bottom - top) / 2);
  std::vector<PointD> points;
  if (rx <= 0 || ry <= 0) {
    points = {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
    return points;
  }
  // A quarter of the ellipse's perimeter per corner, roughly.
  const int segments = std::max(2, CurveSegments((rx + ry) * std::numbers::pi / 2));
  const double half_pi = std::numbers::pi / 2;
  points.reserve(4 * (segments + 1));
  AppendEllipseArc({right - rx, top + ry}, rx, ry, -half_pi, half_pi, segments, points);
  AppendEllipseArc({right - rx, bottom - ry}, rx, ry, 0, half_pi, segments, points);
  AppendEllipseArc({left + rx, bottom - ry}, rx, ry, half_pi, half_pi, segments, points);
  AppendEllipseArc({left + rx, top + ry}, rx, ry, std::numbers::pi, half_pi, segments, points);
  return points;
}

}  // namespace qel
