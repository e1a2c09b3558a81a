#include "import/metafile/player_core.h"

#include <algorithm>

namespace qel {

void MetafilePlayerCore::Add(MetafileObject object) {
  for (std::size_t i = first_free_; i < objects_.size(); ++i) {
    if (objects_[i].kind == MetafileObject::Kind::kFree) {
      objects_[i] = std::move(object);
      first_free_ = i + 1;
      return;
    }
  }
  first_free_ = objects_.size();
  if (objects_.size() < 0x10000) {
    objects_.push_back(std::move(object));
    first_free_ = objects_.size();
  }
}

void MetafilePlayerCore::Store(std::uint32_t index, MetafileObject object) {
  if (MetafileObject* slot = Slot(index)) *slot = std::move(object);
}

void MetafilePlayerCore::Select(std::uint32_t index) {
  if (const MetafileObject* object = Slot(index)) dc_.SelectObject(*object);
}

void MetafilePlayerCore::Delete(std::uint32_t index) {
  if (MetafileObject* object = Slot(index)) {
    *object = MetafileObject();
    first_free_ = std::min<std::size_t>(first_free_, index);
  }
}

void MetafilePlayerCore::Play(MetafileCall call, MetafileArgs& args) {
  using enum MetafileCall;
  switch (call) {
    case kSetMapMode:
      dc_.SetMapMode(args.Mode());
      break;
    case kSetBkMode:
      dc_.SetBkMode(args.Mode());
      break;
    case kSetPolyFillMode:
      dc_.SetPolyFillMode(args.Mode());
      break;
    case kSetRop2:
      dc_.SetRop2(args.Mode());
      break;
    case kSetTextColor:
      dc_.SetTextColor(args.Color());
      break;
    case kSetBkColor:
      dc_.SetBkColor(args.Color());
      break;
    case kSetWindowOrg:
      dc_.SetWindowOrg(args.Point());
      break;
    case kSetWindowExt:
      dc_.SetWindowExt(args.Point());
      break;
    case kSetViewportOrg:
      dc_.SetViewportOrg(args.Point());
      break;
    case kSetViewportExt:
      dc_.SetViewportExt(args.Point());
      break;
    case kOffsetClip:
      dc_.OffsetClip(args.Point());
      break;
    case kMoveTo:
      dc_.MoveTo(args.Point());
      break;
    case kLineTo:
      dc_.LineTo(args.Point());
      break;
    case kIntersectClipRect:
    case kExcludeClipRect: {
      const PointD a = args.Point(), b = args.Point();
      if (call == kIntersectClipRect)
        dc_.IntersectClipRect(a, b);
      else
        dc_.ExcludeClipRect(a, b);
      break;
    }
    case kScaleWindowExt:
    case kScaleViewportExt: {
      const double x_num = args.Coordinate(), x_den = args.Coordinate();
      const double y_num = args.Coordinate(), y_den = args.Coordinate();
      if (call == kScaleWindowExt)
        dc_.ScaleWindowExt(x_num, x_den, y_num, y_den);
      else
        dc_.ScaleViewportExt(x_num, x_den, y_num, y_den);
      break;
    }
    case kSaveDC:
      dc_.SaveDC();
      break;
    case kRestoreDC:
      dc_.RestoreDC(int(args.Coordinate()));
      break;
    case kRectangle:
    case kEllipse: {
      const PointD a = args.Point(), b = args.Point();
      if (call == kRectangle)
        dc_.Rectangle(a, b);
      else
        dc_.Ellipse(a, b);
      break;
    }
    case kRoundRect: {
      const PointD a = args.Point(), b = args.Point(), corner = args.Point();
      dc_.RoundRect(a, b, corner);
      break;
    }
    case kArc:
    case kChord:
    case kPie:
    case kArcTo: {
      const PointD a = args.Point(), b = args.Point(), start = args.Point(), end = args.Point();
      const ArcKind kind = call == kArc     ? ArcKind::kArc
                           : call == kChord ? ArcKind::kChord
                           : call == kPie   ? ArcKind::kPie
                                            : ArcKind::kArcTo;
      dc_.Arc(kind, a, b, start, end);
      break;
    }
    case kSetPixel: {
      const PointD p = args.Point();
      dc_.SetPixel(p, args.Color());
      break;
    }
    case kSelectObject:
      Select(args.ObjectIndex());
      break;
    case kDeleteObject:
      Delete(args.ObjectIndex());
      break;
  }
}

}  // namespace qel
