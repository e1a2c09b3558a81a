#include "import/metafile/emf_player.h"

#include <cmath>
#include <iterator>
#include <optional>
#include <vector>

#include "import/metafile/dc.h"
#include "import/metafile/dib.h"
#include "import/metafile/player_core.h"
#include "import/metafile/records.h"

namespace qel {

namespace {

constexpr std::string_view kFormat = "EMF";

// Record types.
enum : std::uint32_t {
  kPolyBezier = 2,
  kPolygon = 3,
  kPolyline = 4,
  kPolyBezierTo = 5,
  kPolylineTo = 6,
  kPolyPolyline = 7,
  kPolyPolygon = 8,
  kSetWindowExtEx = 9,
  kSetWindowOrgEx = 10,
  kSetViewportExtEx = 11,
  kSetViewportOrgEx = 12,
  kEof = 14,
  kSetPixelV = 15,
  kSetMapMode = 17,
  kSetBkMode = 18,
  kSetPolyFillMode = 19,
  kSetRop2 = 20,
  kSetTextColor = 24,
  kSetBkColor = 25,
  kOffsetClipRgn = 26,
  kMoveToEx = 27,
  kExcludeClipRect = 29,
  kIntersectClipRect = 30,
  kScaleViewportExtEx = 31,
  kScaleWindowExtEx = 32,
  kSaveDC = 33,
  kRestoreDC = 34,
  kSetWorldTransform = 35,
  kModifyWorldTransform = 36,
  kSelectObject = 37,
  kCreatePen = 38,
  kCreateBrushIndirect = 39,
  kDeleteObject = 40,
  kAngleArc = 41,
  kEllipse = 42,
  kRectangle = 43,
  kRoundRect = 44,
  kArc = 45,
  kChord = 46,
  kPie = 47,
  kCreatePalette = 49,
  kLineTo = 54,
  kArcTo = 55,
  kPolyDraw = 56,
  kSetArcDirection = 57,
  kSetMiterLimit = 58,
  kBeginPath = 59,
  kEndPath = 60,
  kCloseFigure = 61,
  kFillPath = 62,
  kStrokeAndFillPath = 63,
  kStrokePath = 64,
  kSelectClipPath = 67,
  kAbortPath = 68,
  kFillRgn = 71,
  kPaintRgn = 74,
  kExtSelectClipRgn = 75,
  kBitBlt = 76,
  kStretchBlt = 77,
  kSetDIBitsToDevice = 80,
  kStretchDIBits = 81,
  kExtCreateFontIndirectW = 82,
  kExtTextOutA = 83,
  kExtTextOutW = 84,
  kPolyBezier16 = 85,
  kPolygon16 = 86,
  kPolyline16 = 87,
  kPolyBezierTo16 = 88,
  kPolylineTo16 = 89,
  kPolyPolyline16 = 90,
  kPolyPolygon16 = 91,
  kPolyDraw16 = 92,
  kCreateMonoBrush = 93,
  kCreateDibPatternBrushPt = 94,
  kExtCreatePen = 95,
};

constexpr std::uint32_t kStockObject = 0x80000000u;
constexpr std::uint32_t kPsGeometric = 0x00010000u;
constexpr std::uint32_t kEtoOpaque = 0x0002;
constexpr std::size_t kRecordHeader = 8;
constexpr std::size_t kBoundsSize = 16;

// The colours of the stock brushes WHITE_BRUSH to BLACK_BRUSH (objects 0 to 4).
constexpr TColor kStockBrushColors[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};

// The arguments of a record, stored in order as 32-bit values after the record's type
// and size.
class EmfArgs : public MetafileArgs {
 public:
  explicit EmfArgs(const EmfRecord& record) : r_(record.bytes, kFormat) { r_.Seek(kRecordHeader); }
  int Mode() override { return int(r_.U32() & 0xFF); }
  double Coordinate() override { return r_.I32(); }
  TColor Color() override { return r_.U32(); }
  std::uint32_t ObjectIndex() override { return r_.U32(); }

 private:
  MetafileRecordReader r_;
};

// The records this kind shares with the other, and what they mean.
constexpr SharedRecord<std::uint32_t> kSharedRecords[] = {
    {kSetMapMode, MetafileCall::kSetMapMode},
    {kSetBkMode, MetafileCall::kSetBkMode},
    {kSetPolyFillMode, MetafileCall::kSetPolyFillMode},
    {kSetRop2, MetafileCall::kSetRop2},
    {kSetTextColor, MetafileCall::kSetTextColor},
    {kSetBkColor, MetafileCall::kSetBkColor},
    {kSetWindowOrgEx, MetafileCall::kSetWindowOrg},
    {kSetWindowExtEx, MetafileCall::kSetWindowExt},
    {kSetViewportOrgEx, MetafileCall::kSetViewportOrg},
    {kSetViewportExtEx, MetafileCall::kSetViewportExt},
    {kOffsetClipRgn, MetafileCall::kOffsetClip},
    {kMoveToEx, MetafileCall::kMoveTo},
    {kLineTo, MetafileCall::kLineTo},
    {kIntersectClipRect, MetafileCall::kIntersectClipRect},
    {kExcludeClipRect, MetafileCall::kExcludeClipRect},
    {kScaleWindowExtEx, MetafileCall::kScaleWindowExt},
    {kScaleViewportExtEx, MetafileCall::kScaleViewportExt},
    {kSaveDC, MetafileCall::kSaveDC},
    {kRestoreDC, MetafileCall::kRestoreDC},
    {kRectangle, MetafileCall::kRectangle},
    {kEllipse, MetafileCall::kEllipse},
    {kRoundRect, MetafileCall::kRoundRect},
    {kArc, MetafileCall::kArc},
    {kChord, MetafileCall::kChord},
    {kPie, MetafileCall::kPie},
    {kArcTo, MetafileCall::kArcTo},
    {kSetPixelV, MetafileCall::kSetPixel},
    {kDeleteObject, MetafileCall::kDeleteObject},
};

class EmfPlayer {
 public:
  EmfPlayer(MetafileDC& dc, std::uint32_t handle_count) : core_(dc, handle_count), dc_(dc) {}
  void Play(const EmfRecord& record);

 private:
  static PointD Point32(MetafileRecordReader& r) {
    const double x = r.I32();
    const double y = r.I32();
    return {x, y};
  }
  static Affine ReadXform(MetafileRecordReader& r) {
    Affine a;
    a.m11 = r.F32();
    a.m12 = r.F32();
    a.m21 = r.F32();
    a.m22 = r.F32();
    a.dx = r.F32();
    a.dy = r.F32();
    return a;
  }
  static std::vector<TRect> ReadRegion(MetafileRecordReader& r, std::uint32_t size);
  MetafileObject* Slot(std::uint32_t index) { return core_.Slot(index); }
  void SelectStock(std::uint32_t which);
  // The bitmap at the record's offsets (nullopt when there is none or it is not drawn).
  static std::optional<MetafileDib> Bitmap(const EmfRecord& record, std::uint32_t off_bmi,
                                           std::uint32_t cb_bmi, std::uint32_t off_bits,
                                           std::uint32_t cb_bits, std::uint32_t usage,
                                           std::uint32_t scan_start = 0, std::uint32_t scan_count = 0);
  void Polys(const EmfRecord& record, bool small);
  void PolyPolys(const EmfRecord& record, bool small);
  void Blit(const EmfRecord& record);

  MetafilePlayerCore core_;
  MetafileDC& dc_;
};

std::vector<TRect> EmfPlayer::ReadRegion(MetafileRecordReader& r, std::uint32_t size) {
  if (size == 0) return {};
  MetafileRecordReader data(r.Bytes(size), kFormat);
  const std::uint32_t header_size = data.U32();
  data.U32();  // type
  const std::uint32_t count = data.U32();
  if (header_size < 32) data.Fail();
  data.Seek(header_size);
  data.Expect(count, 16);
  std::vector<TRect> rects(count);
  for (TRect& rect : rects) rect = {data.I32(), data.I32(), data.I32(), data.I32()};
  return rects;
}

std::optional<MetafileDib> EmfPlayer::Bitmap(const EmfRecord& record, std::uint32_t off_bmi,
                                             std::uint32_t cb_bmi, std::uint32_t off_bits,
                                             std::uint32_t cb_bits, std::uint32_t usage,
                                             std::uint32_t scan_start, std::uint32_t scan_count) {
  if (cb_bmi == 0) return std::nullopt;
  MetafileRecordReader r(record.bytes, kFormat);
  return MetafileDib::Parse(r.At(off_bmi, cb_bmi), r.At(off_bits, cb_bits), usage, kFormat, scan_start,
                            scan_count);
}

void EmfPlayer::SelectStock(std::uint32_t which) {
  MetafileBrush brush;
  MetafilePen pen;
  switch (which) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 4:
      brush.color = kStockBrushColors[which];
      break;
    case 5:
      brush.style = gdi::kBsNull;
      break;
    case 18:
      brush.color = 0xFFFFFF;
      break;  // DC brush
    case 6:
      pen.color = 0xFFFFFF;
      dc_.SelectPen(pen);
      return;
    case 7:
    case 19:
      pen.color = 0x000000;
      dc_.SelectPen(pen);
      return;
    case 8:
      pen.style = gdi::kPsNull;
      dc_.SelectPen(pen);
      return;
    default:
      return;  // fonts and palettes
  }
  dc_.SelectBrush(brush);
}

void EmfPlayer::Polys(const EmfRecord& record, bool small) {
  MetafileRecordReader r(record.bytes, kFormat);
  r.Seek(kRecordHeader + kBoundsSize);
  const std::uint32_t count = r.U32();
  const std::vector<PointD> points = ReadPoints(r, count, small);
  switch (record.type) {
    case kPolyBezier:
    case kPolyBezier16:
      dc_.PolyBezier(points);
      break;
    case kPolygon:
    case kPolygon16:
      dc_.Polygon(points);
      break;
    case kPolyline:
    case kPolyline16:
      dc_.Polyline(points);
      break;
    case kPolyBezierTo:
    case kPolyBezierTo16:
      dc_.PolyBezierTo(points);
      break;
    case kPolylineTo:
    case kPolylineTo16:
      dc_.PolylineTo(points);
      break;
    default: {  // PolyDraw
      const auto types = r.Bytes(count);
      dc_.PolyDraw(points, types);
      break;
    }
  }
}

void EmfPlayer::PolyPolys(const EmfRecord& record, bool small) {
  MetafileRecordReader r(record.bytes, kFormat);
  r.Seek(kRecordHeader + kBoundsSize);
  const std::uint32_t polys = r.U32();
  const std::uint32_t total = r.U32();
  r.Expect(polys, 4);
  std::vector<std::uint32_t> counts(polys);
  std::uint64_t sum = 0;
  for (std::uint32_t& c : counts) sum += (c = r.U32());
  if (sum > total) r.Fail();
  const std::vector<PointD> points = ReadPoints(r, total, small);
  if (record.type == kPolyPolygon || record.type == kPolyPolygon16)
    dc_.PolyPolygon(points, counts);
  else
    dc_.PolyPolyline(points, counts);
}

void EmfPlayer::Blit(const EmfRecord& record) {
  MetafileRecordReader r(record.bytes, kFormat);
  r.Seek(kRecordHeader + kBoundsSize);
  switch (record.type) {
    case kBitBlt:
    case kStretchBlt: {
      const PointD origin = Point32(r), size = Point32(r);
      const std::uint32_t rop = r.U32();
      const PointD src = Point32(r);
      Affine xform = ReadXform(r);
      r.U32();  // background colour of the source
      const std::uint32_t usage = r.U32(), off_bmi = r.U32(), cb_bmi = r.U32(), off_bits = r.U32(),
                          cb_bits = r.U32();
      PointD src_size = size;
      if (record.type == kStretchBlt) src_size = Point32(r);
      const auto dib = Bitmap(record, off_bmi, cb_bmi, off_bits, cb_bits, usage);
      if (cb_bmi == 0) {
        dc_.PatBlt(origin, size, rop);
        return;
      }
      if (!dib) return;
      // The source position and size pass through the source device's transform.
      if (!xform.IsFinite() || xform.m11 == 0 || xform.m22 == 0) xform = Affine();
      const PointD s = xform.Apply(src);
      dc_.StretchDib(origin, size,
                     BlitSource{&*dib, s.x, s.y, src_size.x * xform.m11, src_size.y * xform.m22}, rop);
      return;
    }
    case kSetDIBitsToDevice: {
      const PointD origin = Point32(r), src = Point32(r), src_size = Point32(r);
      const std::uint32_t off_bmi = r.U32(), cb_bmi = r.U32(), off_bits = r.U32(), cb_bits = r.U32();
      const std::uint32_t usage = r.U32(), start_scan = r.U32(), scans = r.U32();
      if (scans == 0) return;
      const auto dib = Bitmap(record, off_bmi, cb_bmi, off_bits, cb_bits, usage, start_scan, scans);
      if (!dib) return;
      dc_.DeviceSizedDib(origin, StoredRowsSource(*dib, src, src_size), kSrcCopy);
      return;
    }
    default: {  // kStretchDIBits
      const PointD origin = Point32(r), src = Point32(r), src_size = Point32(r);
      const std::uint32_t off_bmi = r.U32(), cb_bmi = r.U32(), off_bits = r.U32(), cb_bits = r.U32();
      const std::uint32_t usage = r.U32(), rop = r.U32();
      const PointD size = Point32(r);
      const auto dib = Bitmap(record, off_bmi, cb_bmi, off_bits, cb_bits, usage);
      if (cb_bmi == 0) {
        dc_.PatBlt(origin, size, rop);
        return;
      }
      if (!dib) return;
      dc_.StretchDib(origin, size, StoredRowsSource(*dib, src, src_size), rop);
      return;
    }
  }
}

void EmfPlayer::Play(const EmfRecord& record) {
  if (const std::optional<MetafileCall> call = FindSharedCall(kSharedRecords, record.type)) {
    EmfArgs args(record);
    core_.Play(*call, args);
    return;
  }
  MetafileRecordReader r(record.bytes, kFormat);
  r.Seek(kRecordHeader);
  switch (record.type) {
    case kPolyBezier:
    case kPolygon:
    case kPolyline:
    case kPolyBezierTo:
    case kPolylineTo:
    case kPolyDraw:
      Polys(record, false);
      break;
    case kPolyBezier16:
    case kPolygon16:
    case kPolyline16:
    case kPolyBezierTo16:
    case kPolylineTo16:
    case kPolyDraw16:
      Polys(record, true);
      break;
    case kPolyPolyline:
    case kPolyPolygon:
      PolyPolys(record, false);
      break;
    case kPolyPolyline16:
    case kPolyPolygon16:
      PolyPolys(record, true);
      break;
    case kSetWorldTransform:
      dc_.SetWorldTransform(ReadXform(r));
      break;
    case kModifyWorldTransform: {
      const Affine xform = ReadXform(r);
      dc_.ModifyWorldTransform(xform, int(r.U32()));
      break;
    }
    case kSelectObject: {
      const std::uint32_t index = r.U32();
      if (index & kStockObject) {
        SelectStock(index & ~kStockObject);
      } else if (const MetafileObject* o = Slot(index)) {
        dc_.SelectObject(*o);
      }
      break;
    }
    case kCreatePen: {
      const std::uint32_t index = r.U32();
      MetafilePen pen;
      pen.style = r.U32();
      pen.width = r.I32();
      r.I32();
      pen.color = r.U32() & 0xFFFFFF;
      core_.Store(index, MetafileObject::Pen(pen));
      break;
    }
    case kExtCreatePen: {
      const std::uint32_t index = r.U32();
      r.Skip(16);  // the bitmap of a pattern pen: drawn with the pen's colour instead
      MetafilePen pen;
      pen.style = r.U32();
      pen.width = r.U32();
      r.U32();  // brush style
      pen.color = r.U32() & 0xFFFFFF;
      pen.cosmetic = (pen.style & kPsGeometric) == 0;
      pen.style &= 0xFFFF;
      core_.Store(index, MetafileObject::Pen(pen));
      break;
    }
    case kCreateBrushIndirect: {
      const std::uint32_t index = r.U32();
      const std::uint32_t style = r.U32();
      const TColor color = r.U32() & 0xFFFFFF;
      const MetafileBrush brush = IndirectBrush(style, color, r.U32());
      core_.Store(index, MetafileObject::Brush(brush));
      break;
    }
    case kCreateMonoBrush:
    case kCreateDibPatternBrushPt: {
      const std::uint32_t index = r.U32();
      const std::uint32_t usage = r.U32(), off_bmi = r.U32(), cb_bmi = r.U32(), off_bits = r.U32(),
                          cb_bits = r.U32();
      MetafileBrush brush;
      brush.style = gdi::kBsDibPatternPt;
      if (auto dib = Bitmap(record, off_bmi, cb_bmi, off_bits, cb_bits, usage))
        brush.pattern = MakePatternFromDib(*dib);
      core_.Store(index, MetafileObject::Brush(brush));
      break;
    }
    case kCreatePalette:
    case kExtCreateFontIndirectW: {
      core_.Store(r.U32(), MetafileObject::Other());
      break;
    }
    case kAngleArc: {
      const PointD centre = Point32(r);
      const double radius = r.U32();
      const double start = r.F32(), sweep = r.F32();
      dc_.AngleArc(centre, radius, start, sweep);
      break;
    }
    case kSetArcDirection:
      dc_.SetArcDirection(int(r.U32()));
      break;
    case kSetMiterLimit:
      dc_.SetMiterLimit(r.U32());
      break;
    case kBeginPath:
      dc_.BeginPath();
      break;
    case kEndPath:
      dc_.EndPath();
      break;
    case kCloseFigure:
      dc_.CloseFigure();
      break;
    case kFillPath:
      dc_.FillPath();
      break;
    case kStrokeAndFillPath:
      dc_.StrokeAndFillPath();
      break;
    case kStrokePath:
      dc_.StrokePath();
      break;
    case kSelectClipPath:
      dc_.SelectClipPath(int(r.U32()));
      break;
    case kAbortPath:
      dc_.AbortPath();
      break;
    case kFillRgn:
    case kPaintRgn: {
      r.Skip(kBoundsSize);
      const std::uint32_t size = r.U32();
      MetafileBrush brush = dc_.Brush();
      if (record.type == kFillRgn) {
        const std::uint32_t index = r.U32();
        brush.style = gdi::kBsNull;
        if (index & kStockObject) {
          const std::uint32_t stock = index & ~kStockObject;
          if (stock < std::size(kStockBrushColors))
            brush = MetafileBrush{gdi::kBsSolid, kStockBrushColors[stock], 0, nullptr};
        } else if (const MetafileObject* o = Slot(index); o && o->kind == MetafileObject::Kind::kBrush) {
          brush = o->brush;
        }
      }
      const std::vector<TRect> rects = ReadRegion(r, size);
      dc_.FillDeviceRects(rects, brush);
      break;
    }
    case kExtSelectClipRgn: {
      const std::uint32_t size = r.U32();
      const int mode = int(r.U32());
      const std::vector<TRect> rects = ReadRegion(r, size);
      dc_.SelectClipDeviceRects(rects, mode);
      break;
    }
    case kBitBlt:
    case kStretchBlt:
    case kSetDIBitsToDevice:
    case kStretchDIBits:
      Blit(record);
      break;
    case kExtTextOutA:
    case kExtTextOutW: {
      r.Skip(kBoundsSize + 12);  // bounds, graphics mode, scales
      r.Skip(8 + 8);             // reference point, character count, string offset
      const std::uint32_t options = r.U32();
      const PointD a = Point32(r), b = Point32(r);
      // The text itself is not drawn; its opaque box is.
      if (options & kEtoOpaque) dc_.FillSolidRect(a, b, dc_.BkColor());
      break;
    }
    default:
      break;  // records that draw nothing here (text, palettes, comments, ...)
  }
}

}  // namespace

void PlayEmf(std::span<const std::uint8_t> data, std::uint32_t handle_count, MetafileDC& dc) {
  EmfPlayer player(dc, handle_count);
  EmfRecordWalker walker(data);
  EmfRecord record;
  while (walker.Next(record)) {
    if (record.type == kEof) break;
    player.Play(record);
  }
}

}  // namespace qel
