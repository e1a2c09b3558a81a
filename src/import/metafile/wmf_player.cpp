#include "import/metafile/wmf_player.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "import/metafile/dc.h"
#include "import/metafile/dib.h"
#include "import/metafile/records.h"

namespace qel {

namespace {

constexpr std::string_view kFormat = "WMF";

// Record functions.
enum : std::uint16_t {
  kSetBkMode = 0x0102,
  kSetMapMode = 0x0103,
  kSetRop2 = 0x0104,
  kSetPolyFillMode = 0x0106,
  kSetBkColor = 0x0201,
  kSetTextColor = 0x0209,
  kSetViewportOrg = 0x020D,
  kSetViewportExt = 0x020E,
  kOffsetWindowOrg = 0x020F,
  kOffsetViewportOrg = 0x0211,
  kLineTo = 0x0213,
  kMoveTo = 0x0214,
  kOffsetClipRgn = 0x0220,
  kScaleWindowExt = 0x0410,
  kScaleViewportExt = 0x0412,
  kExcludeClipRect = 0x0415,
  kIntersectClipRect = 0x0416,
  kEllipse = 0x0418,
  kRectangle = 0x041B,
  kSetPixel = 0x041F,
  kRoundRect = 0x061C,
  kPatBlt = 0x061D,
  kSaveDC = 0x001E,
  kPie = 0x081A,
  kArc = 0x0817,
  kChord = 0x0830,
  kPolygon = 0x0324,
  kPolyline = 0x0325,
  kPolyPolygon = 0x0538,
  kExtTextOut = 0x0A32,
  kRestoreDC = 0x0127,
  kSelectClipRegion = 0x012C,
  kSelectObject = 0x012D,
  kDeleteObject = 0x01F0,
  kDibBitBlt = 0x0940,
  kDibStretchBlt = 0x0B41,
  kSetDibToDev = 0x0D33,
  kStretchDib = 0x0F43,
  kDibCreatePatternBrush = 0x0142,
  kCreatePalette = 0x00F7,
  kCreatePatternBrush = 0x01F9,
  kCreatePenIndirect = 0x02FA,
  kCreateFontIndirect = 0x02FB,
  kCreateBrushIndirect = 0x02FC,
  kCreateRegion = 0x06FF,
};

constexpr std::uint16_t kEtoOpaque = 0x0002, kEtoClipped = 0x0004;

class WmfPlayer {
 public:
  WmfPlayer(MetafileDC& dc, std::uint32_t object_count) : dc_(dc) { objects_.resize(object_count); }
  void Play(const WmfRecord& record);

 private:
  // Words of the record, in file order.
  PointD Point(MetafileRecordReader& r) {
    const double y = r.I16();
    const double x = r.I16();
    return {x, y};
  }
  void AddObject(MetafileObject object);
  void Blit(const WmfRecord& record);

  MetafileDC& dc_;
  std::vector<MetafileObject> objects_;
  std::size_t first_free_ = 0;
};

void WmfPlayer::AddObject(MetafileObject object) {
  // Objects take the lowest free slot; no slot below first_free_ is free.
  for (std::size_t i = first_free_; i < objects_.size(); ++i) {
    if (objects_[i].kind == MetafileObject::Kind::kFree) {
      objects_[i] = std::move(object);
      first_free_ = i + 1;
      return;
    }
  }
  first_free_ = objects_.size();
  // A header that counts too few objects: the table grows up to what an index can name.
  if (objects_.size() < 0x10000) {
    objects_.push_back(std::move(object));
    first_free_ = objects_.size();
  }
}

void WmfPlayer::Play(const WmfRecord& record) {
  MetafileRecordReader r(record.params, kFormat);
  switch (record.function) {
    case kSetMapMode:
      dc_.SetMapMode(r.U16());
      break;
    case kSetBkMode:
      dc_.SetBkMode(r.U16());
      break;
    case kSetPolyFillMode:
      dc_.SetPolyFillMode(r.U16());
      break;
    case kSetRop2:
      dc_.SetRop2(r.U16());
      break;
    case kSetBkColor:
      dc_.SetBkColor(r.U32());
      break;
    case kSetTextColor:
      dc_.SetTextColor(r.U32());
      break;
    case wmf::kSetWindowOrg:
      dc_.SetWindowOrg(Point(r));
      break;
    case wmf::kSetWindowExt:
      dc_.SetWindowExt(Point(r));
      break;
    case kSetViewportOrg:
      dc_.SetViewportOrg(Point(r));
      break;
    case kSetViewportExt:
      dc_.SetViewportExt(Point(r));
      break;
    case kOffsetWindowOrg:
      dc_.OffsetWindowOrg(Point(r));
      break;
    case kOffsetViewportOrg:
      dc_.OffsetViewportOrg(Point(r));
      break;
    case kScaleWindowExt:
    case kScaleViewportExt: {
      const double y_den = r.I16(), y_num = r.I16(), x_den = r.I16(), x_num = r.I16();
      if (record.function == kScaleWindowExt)
        dc_.ScaleWindowExt(x_num, x_den, y_num, y_den);
      else
        dc_.ScaleViewportExt(x_num, x_den, y_num, y_den);
      break;
    }
    case kSaveDC:
      dc_.SaveDC();
      break;
    case kRestoreDC:
      dc_.RestoreDC(r.I16());
      break;
    case kIntersectClipRect:
    case kExcludeClipRect: {
      const PointD b = Point(r), a = Point(r);
      if (record.function == kIntersectClipRect)
        dc_.IntersectClipRect(a, b);
      else
        dc_.ExcludeClipRect(a, b);
      break;
    }
    case kOffsetClipRgn:
      dc_.OffsetClip(Point(r));
      break;
    case kSelectClipRegion: {
      const std::uint16_t index = r.U16();
      dc_.SelectClipDeviceRects({}, gdi::kRgnCopy);
      if (index < objects_.size() && objects_[index].kind == MetafileObject::Kind::kRegion) {
        dc_.IntersectClipRect(objects_[index].region_a, objects_[index].region_b);
      }
      break;
    }
    case kMoveTo:
      dc_.MoveTo(Point(r));
      break;
    case kLineTo:
      dc_.LineTo(Point(r));
      break;
    case kPolygon:
    case kPolyline: {
      const std::vector<PointD> points = ReadPoints(r, std::uint16_t(r.I16()), true);
      if (record.function == kPolygon)
        dc_.Polygon(points);
      else
        dc_.Polyline(points);
      break;
    }
    case kPolyPolygon: {
      const std::uint16_t polygons = r.U16();
      r.Expect(polygons, 2);
      std::vector<std::uint32_t> counts(polygons);
      std::size_t total = 0;
      for (std::uint32_t& c : counts) total += (c = r.U16());
      const std::vector<PointD> points = ReadPoints(r, total, true);
      dc_.PolyPolygon(points, counts);
      break;
    }
    case kRectangle:
    case kEllipse: {
      const PointD b = Point(r), a = Point(r);
      if (record.function == kRectangle)
        dc_.Rectangle(a, b);
      else
        dc_.Ellipse(a, b);
      break;
    }
    case kRoundRect: {
      const PointD corner = Point(r), b = Point(r), a = Point(r);
      dc_.RoundRect(a, b, corner);
      break;
    }
    case kArc:
    case kPie:
    case kChord: {
      const PointD end = Point(r), start = Point(r), b = Point(r), a = Point(r);
      const ArcKind kind = record.function == kArc
                               ? ArcKind::kArc
                               : (record.function == kPie ? ArcKind::kPie : ArcKind::kChord);
      dc_.Arc(kind, a, b, start, end);
      break;
    }
    case kSetPixel: {
      const TColor color = r.U32();
      dc_.SetPixel(Point(r), color);
      break;
    }
    case kPatBlt: {
      const std::uint32_t rop = r.U32();
      const PointD size = Point(r), origin = Point(r);
      dc_.PatBlt(origin, {size.x, size.y}, rop);
      break;
    }
    case kExtTextOut: {
      const PointD origin = Point(r);
      (void)origin;
      r.I16();  // string length
      const std::uint16_t options = r.U16();
      if (options & (kEtoOpaque | kEtoClipped)) {
        const double left = r.I16(), top = r.I16(), right = r.I16(), bottom = r.I16();
        // The text itself is not drawn; its opaque box is.
        if (options & kEtoOpaque) dc_.FillSolidRect({left, top}, {right, bottom}, dc_.BkColor());
      }
      break;
    }
    case kCreatePenIndirect: {
      MetafilePen pen;
      pen.style = r.U16();
      pen.width = r.I16();
      r.I16();
      pen.color = r.U32() & 0xFFFFFF;
      AddObject(MetafileObject::Pen(pen));
      break;
    }
    case kCreateBrushIndirect: {
      const std::uint16_t style = r.U16();
      const TColor color = r.U32() & 0xFFFFFF;
      AddObject(MetafileObject::Brush(IndirectBrush(style, color, r.U16())));
      break;
    }
    case kDibCreatePatternBrush: {
      const std::uint16_t style = r.U16();
      std::uint16_t usage = r.U16();
      if (style == gdi::kBsPattern) usage = kDibRgbColors;
      MetafileBrush brush;
      brush.style = gdi::kBsDibPattern;
      if (auto dib = MetafileDib::ParsePacked(r.Bytes(r.Remaining()), usage, kFormat)) {
        brush.pattern = MakePatternFromDib(*dib);
      }
      AddObject(MetafileObject::Brush(brush));
      break;
    }
    case kCreateRegion: {
      r.Skip(14);  // next in chain, object type, object count, region size, scan count, max scan
      const double left = r.I16(), top = r.I16(), right = r.I16(), bottom = r.I16();
      AddObject(MetafileObject::Region({left, top}, {right, bottom}));
      break;
    }
    case kCreatePatternBrush: {
      // A brush of a device-dependent bitmap: kept as a slot, drawn as no brush.
      MetafileBrush brush;
      brush.style = gdi::kBsNull;
      AddObject(MetafileObject::Brush(brush));
      break;
    }
    case kCreatePalette:
    case kCreateFontIndirect:
      AddObject(MetafileObject::Other());
      break;
    case kSelectObject: {
      const std::uint16_t index = r.U16();
      if (index < objects_.size()) dc_.SelectObject(objects_[index]);
      break;
    }
    case kDeleteObject: {
      const std::uint16_t index = r.U16();
      if (index < objects_.size()) {
        objects_[index] = MetafileObject();
        first_free_ = std::min<std::size_t>(first_free_, index);
      }
      break;
    }
    case kDibBitBlt:
    case kDibStretchBlt:
    case kStretchDib:
    case kSetDibToDev:
      Blit(record);
      break;
    default:
      break;  // records that draw nothing here (text, palettes, escapes, ...)
  }
}

void WmfPlayer::Blit(const WmfRecord& record) {
  MetafileRecordReader r(record.params, kFormat);
  // Without a bitmap the record holds (function >> 8) parameter words.
  const bool has_bitmap = record.params.size() != std::size_t(record.function >> 8) * 2;
  switch (record.function) {
    case kDibBitBlt:
    case kDibStretchBlt: {
      const std::uint32_t rop = r.U32();
      PointD src_size{0, 0};
      if (record.function == kDibStretchBlt) src_size = Point(r);
      const PointD src = Point(r);
      if (!has_bitmap) r.U16();
      const PointD size = Point(r), origin = Point(r);
      if (record.function == kDibBitBlt) src_size = size;
      if (!has_bitmap) {
        dc_.PatBlt(origin, size, rop);
        return;
      }
      const auto dib = MetafileDib::ParsePacked(r.Bytes(r.Remaining()), kDibRgbColors, kFormat);
      if (!dib) return;
      // The source is a bitmap selected into a memory device: rows from the top.
      dc_.StretchDib(origin, size, BlitSource{&*dib, src.x, src.y, src_size.x, src_size.y}, rop);
      return;
    }
    case kStretchDib: {
      const std::uint32_t rop = r.U32();
      const std::uint16_t usage = r.U16();
      const PointD src_size = Point(r), src = Point(r), size = Point(r), origin = Point(r);
      const auto dib = MetafileDib::ParsePacked(r.Bytes(r.Remaining()), usage, kFormat);
      if (!dib) return;
      dc_.StretchDib(origin, size, StoredRowsSource(*dib, src, src_size), rop);
      return;
    }
    default: {  // kSetDibToDev
      const std::uint16_t usage = r.U16();
      const std::uint16_t scan_count = r.U16();
      const std::uint16_t start_scan = r.U16();
      const PointD src = Point(r), size = Point(r), origin = Point(r);
      if (scan_count == 0) return;
      const auto dib =
          MetafileDib::ParsePacked(r.Bytes(r.Remaining()), usage, kFormat, start_scan, scan_count);
      if (!dib) return;
      dc_.DeviceSizedDib(origin, StoredRowsSource(*dib, src, size), kSrcCopy);
      return;
    }
  }
}

}  // namespace

void PlayWmf(std::span<const std::uint8_t> data, std::size_t first_record, std::uint32_t object_count,
             MetafileDC& dc) {
  WmfPlayer player(dc, object_count);
  WmfRecordWalker walker(data, first_record);
  WmfRecord record;
  while (walker.Next(record)) {
    if (record.function == wmf::kEof) break;
    player.Play(record);
  }
}

}  // namespace qel
