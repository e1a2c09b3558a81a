// What the Windows metafile and enhanced metafile players have in common: the object
// table, and the records that both kinds carry with the same arguments in the same
// meaning (state, mapping, clipping, lines and shapes). Each player maps its record
// numbers onto MetafileCall and hands the core a reader of the record's arguments; the
// records whose layouts differ (polygons, pens, brushes, bitmaps, text, paths) stay
// with the player.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "import/metafile/dc.h"

namespace qel {

enum class MetafileCall {
  kSetMapMode,
  kSetBkMode,
  kSetPolyFillMode,
  kSetRop2,
  kSetTextColor,
  kSetBkColor,
  kSetWindowOrg,
  kSetWindowExt,
  kSetViewportOrg,
  kSetViewportExt,
  kOffsetClip,
  kMoveTo,
  kLineTo,
  kIntersectClipRect,
  kExcludeClipRect,
  kScaleWindowExt,
  kScaleViewportExt,
  kSaveDC,
  kRestoreDC,
  kRectangle,
  kEllipse,
  kRoundRect,
  kArc,
  kChord,
  kPie,
  kArcTo,
  kSetPixel,
  kSelectObject,
  kDeleteObject,
};

// A row of a player's table of the records it hands to the core.
template <typename Code>
struct SharedRecord {
  Code code;
  MetafileCall call;
};

template <typename Code, std::size_t N>
std::optional<MetafileCall> FindSharedCall(const SharedRecord<Code> (&table)[N], Code code) {
  for (const SharedRecord<Code>& row : table) {
    if (row.code == code) return row.call;
  }
  return std::nullopt;
}

// The arguments of one record in their logical order (left before right, x before y,
// the numerator before the denominator), whatever their width and their order in the
// file. Reads past the record fail with EInvalidGraphic.
class MetafileArgs {
 public:
  virtual ~MetafileArgs() = default;
  // A mode number (map mode, background mode, fill mode, raster operation).
  virtual int Mode() = 0;
  // A signed integer: a coordinate, a scale factor, a saved-state index.
  virtual double Coordinate() = 0;
  virtual TColor Color() = 0;
  // An index into the object table.
  virtual std::uint32_t ObjectIndex() = 0;

  PointD Point() {
    const double x = Coordinate();
    const double y = Coordinate();
    return {x, y};
  }
};

class MetafilePlayerCore {
 public:
  MetafilePlayerCore(MetafileDC& dc, std::uint32_t table_size) : dc_(dc) { objects_.resize(table_size); }

  MetafileDC& DC() { return dc_; }
  void Play(MetafileCall call, MetafileArgs& args);

  // The table entry at index; nullptr beyond the table.
  MetafileObject* Slot(std::uint32_t index) { return index < objects_.size() ? &objects_[index] : nullptr; }
  // Puts the object at the lowest free entry. A header that counts too few objects
  // lets the table grow up to what a 16-bit index can name.
  void Add(MetafileObject object);
  // Puts the object at the entry the record names (nothing beyond the table).
  void Store(std::uint32_t index, MetafileObject object);

 private:
  void Select(std::uint32_t index);
  void Delete(std::uint32_t index);

  MetafileDC& dc_;
  std::vector<MetafileObject> objects_;
  std::size_t first_free_ = 0;  // no entry below it is free
};

}  // namespace qel
