#include "import/metafile/wmf_player.h"

#include <optional>
#include <vector>

#include "import/metafile/dc.h"
#include "import/metafile/dib.h"
#include "import/metafile/player_core.h"
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

// The arguments of a record whose parameter words are stored last argument first (as
// most Windows metafile records are): read backwards from the end of the record's
// fixed parameter words, whose count is the high byte of the function number.
class WmfArgs : public MetafileArgs {
 public:
  explicit WmfArgs(const WmfRecord& record)
      : params_(record.params), end_(std::size_t(record.function >> 8) * 2) {
    if (end_ > params_.size()) ThrowInvalidMetafile(kFormat);
  }
  int Mode() override { return Word(); }
  double Coordinate() override { return std::int16_t(Word()); }
  TColor Color() override {
    Need(4);
    end_ -= 4;
    return LoadU32(params_.data() + end_);
  }
  std::uint32_t ObjectIndex() override { return Word(); }

 private:
  std::uint16_t Word() {
    Need(2);
    end_ -= 2;
    return LoadU16(params_.data() + end_);
  }
  void Need(std::size_t count) const {
    if (end_ < count) ThrowInvalidMetafile(kFormat);
  }

  std::span<const std::uint8_t> params_;
  std::size_t end_;
};

// The records this kind shares with the other, and what they mean.
constexpr SharedRecord<std::uint16_t> kSharedRecords[] = {
    {kSetMapMode, MetafileCall::kSetMapMode},
    {kSetBkMode, MetafileCall::kSetBkMode},
    {kSetPolyFillMode, MetafileCall::kSetPolyFillMode},
    {kSetRop2, MetafileCall::kSetRop2},
    {kSetBkColor, MetafileCall::kSetBkColor},
    {kSetTextColor, MetafileCall::kSetTextColor},
    {wmf::kSetWindowOrg, MetafileCall::kSetWindowOrg},
    {wmf::kSetWindowExt, MetafileCall::kSetWindowExt},
    {kSetViewportOrg, MetafileCall::kSetViewportOrg},
    {kSetViewportExt, MetafileCall::kSetViewportExt},
    {kOffsetClipRgn, MetafileCall::kOffsetClip},
    {kMoveTo, MetafileCall::kMoveTo},
    {kLineTo, MetafileCall::kLineTo},
    {kIntersectClipRect, MetafileCall::kIntersectClipRect},
    {kExcludeClipRect, MetafileCall::kExcludeClipRect},
    {kScaleWindowExt, MetafileCall::kScaleWindowExt},
    {kScaleViewportExt, MetafileCall::kScaleViewportExt},
    {kSaveDC, MetafileCall::kSaveDC},
    {kRestoreDC, MetafileCall::kRestoreDC},
    {kRectangle, MetafileCall::kRectangle},
    {kEllipse, MetafileCall::kEllipse},
    {kRoundRect, MetafileCall::kRoundRect},
    {kArc, MetafileCall::kArc},
    {kChord, MetafileCall::kChord},
    {kPie, MetafileCall::kPie},
    {kSetPixel, MetafileCall::kSetPixel},
    {kSelectObject, MetafileCall::kSelectObject},
    {kDeleteObject, MetafileCall::kDeleteObject},
};

class WmfPlayer {
 public:
  WmfPlayer(MetafileDC& dc, std::uint32_t object_count) : core_(dc, object_count), dc_(dc) {}
  void Play(const WmfRecord& record);

 private:
  // Words of the record, in file order.
  PointD Point(MetafileRecordReader& r) {
    const double y = r.I16();
    const double x = r.I16();
    return {x, y};
  }
  void Blit(const WmfRecord& record);

  MetafilePlayerCore core_;
  MetafileDC& dc_;
};

void WmfPlayer::Play(const WmfRecord& record) {
  if (const std::optional<MetafileCall> call = FindSharedCall(kSharedRecords, record.function)) {
    WmfArgs args(record);
    core_.Play(*call, args);
    return;
  }
  MetafileRecordReader r(record.params, kFormat);
  switch (record.function) {
    case kSelectClipRegion: {
      const std::uint16_t index = r.U16();
      dc_.SelectClipDeviceRects({}, gdi::kRgnCopy);
      const MetafileObject* region = core_.Slot(index);
      if (region && region->kind == MetafileObject::Kind::kRegion) {
        dc_.IntersectClipRect(region->region_a, region->region_b);
      }
      break;
    }
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
      core_.Add(MetafileObject::Pen(pen));
      break;
    }
    case kCreateBrushIndirect: {
      const std::uint16_t style = r.U16();
      const TColor color = r.U32() & 0xFFFFFF;
      core_.Add(MetafileObject::Brush(IndirectBrush(style, color, r.U16())));
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
      core_.Add(MetafileObject::Brush(brush));
      break;
    }
    case kCreateRegion: {
      r.Skip(14);  // next in chain, object type, object count, region size, scan count, max scan
      const double left = r.I16(), top = r.I16(), right = r.I16(), bottom = r.I16();
      core_.Add(MetafileObject::Region({left, top}, {right, bottom}));
      break;
    }
    case kCreatePatternBrush: {
      // A brush of a device-dependent bitmap: kept as a slot, drawn as no brush.
      MetafileBrush brush;
      brush.style = gdi::kBsNull;
      core_.Add(MetafileObject::Brush(brush));
      break;
    }
    case kCreatePalette:
    case kCreateFontIndirect:
      core_.Add(MetafileObject::Other());
      break;
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
