// Geometry of metafile playback: points, affine transforms, figures (open or closed
// polylines) and the curves that are flattened into them.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "imaging/picture.h"

namespace qel {

struct PointD {
  double x = 0, y = 0;
};

inline bool Finite(PointD p) {
  return std::isfinite(p.x) && std::isfinite(p.y);
}

// The nearest integer, clamped to +-1e9 (NaN goes to the low end).
inline int RoundToInt(double v) {
  if (!(v > -1e9)) return -1000000000;
  if (v > 1e9) return 1000000000;
  return int(std::lround(v));
}

// The overlap of two rectangles (empty, not inverted, when they do not meet).
inline TRect Intersect(const TRect& a, const TRect& b) {
  TRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

// x' = x * m11 + y * m21 + dx, y' = x * m12 + y * m22 + dy (the layout of a GDI XFORM).
struct Affine {
  double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;

  PointD Apply(PointD p) const { return {p.x * m11 + p.y * m21 + dx, p.x * m12 + p.y * m22 + dy}; }
  // The transform of a vector (no translation).
  PointD ApplyVector(PointD v) const { return {v.x * m11 + v.y * m21, v.x * m12 + v.y * m22}; }
  // This transform followed by next.
  Affine Then(const Affine& next) const;
  bool IsAxisAligned() const { return m12 == 0 && m21 == 0; }
  bool IsFinite() const;
  double Determinant() const { return m11 * m22 - m12 * m21; }
  static Affine Translation(double x, double y) { return {1, 0, 0, 1, x, y}; }
  static Affine Scaling(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
};

// A polyline; a closed one has an implied segment from the last point to the first.
struct Figure {
  std::vector<PointD> points;
  bool closed = false;
};
using Figures = std::vector<Figure>;

// Twice the signed area of a closed polygon (positive for a clockwise turn on a y-down grid).
double SignedArea2(const std::vector<PointD>& points);

// Appends the cubic Bezier from p0 (already in out) through p1, p2 to p3 as segments
// lines; segments is at least 1.
void FlattenBezier(PointD p0, PointD p1, PointD p2, PointD p3, int segments, std::vector<PointD>& out);

// The number of segments a curve of the given length (in target pixels) is cut into.
int CurveSegments(double length_in_pixels);

// Points of the axis-aligned ellipse centred at c with radii rx, ry, from parameter
// angle a0 over sweep (radians, positive = increasing angle), segments + 1 points.
void AppendEllipseArc(PointD c, double rx, double ry, double a0, double sweep, int segments,
                      std::vector<PointD>& out);

// The outline of a rectangle with elliptic corners (corner radii rx, ry, clamped to half
// the sides) as a closed polygon; plain rectangles give four points, ellipses a polygon
// whose segment count follows their size.
std::vector<PointD> RoundRectPolygon(double left, double top, double right, double bottom, double rx,
                                     double ry);

}  // namespace qel
