// Windows metafiles and enhanced metafiles built byte by byte for the metafile tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "imaging/picture.h"

namespace qel::test {

class ByteWriter {
 public:
  ByteWriter& U8(std::uint32_t v) {
    bytes.push_back(std::uint8_t(v));
    return *this;
  }
  ByteWriter& U16(std::uint32_t v) { return U8(v).U8(v >> 8); }
  ByteWriter& U32(std::uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  ByteWriter& I16(int v) { return U16(std::uint32_t(v) & 0xFFFF); }
  ByteWriter& I32(std::int32_t v) { return U32(std::uint32_t(v)); }
  ByteWriter& F32(float v);
  ByteWriter& Append(const std::vector<std::uint8_t>& more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
    return *this;
  }
  std::vector<std::uint8_t> bytes;
};

// A packed device-independent bitmap (BITMAPINFOHEADER, masks or colour table, bits) of
// rows of colours given top row first. bits is 1, 4, 8 (a palette of the distinct
// colours), 16 (5-6-5 bit fields), 24 or 32 (with bit fields when bit_fields is set).
// top_down writes a negative height.
struct DibParts {
  std::vector<std::uint8_t> info, bits;
  std::vector<std::uint8_t> Packed() const;
};
DibParts MakeDib(const std::vector<std::vector<TColor>>& rows, int bits, bool top_down = false,
                 bool bit_fields = false);

// Windows metafile records: function and parameter words as in the file.
class WmfBuilder {
 public:
  WmfBuilder& Record(std::uint16_t function, std::initializer_list<int> words);
  WmfBuilder& RecordWithBytes(std::uint16_t function, std::initializer_list<int> words,
                              const std::vector<std::uint8_t>& tail);
  // The file: an optional placeable header, the standard header, the records, EOF.
  std::vector<std::uint8_t> Plain(int objects) const;
  std::vector<std::uint8_t> Placeable(int left, int top, int right, int bottom, int inch, int objects) const;

 private:
  std::vector<std::vector<std::uint8_t>> records_;
};

// Enhanced metafile records after a header.
class EmfBuilder {
 public:
  // A record of the type with the payload after its 8-byte header.
  EmfBuilder& Record(std::uint32_t type, const std::vector<std::uint8_t>& payload);
  EmfBuilder& Record(std::uint32_t type, std::initializer_list<std::int32_t> values);
  // EMR_STRETCHDIBITS of the bitmap at (x, y) stretched to w x h.
  EmfBuilder& StretchDIBits(int x, int y, int w, int h, const DibParts& dib, int src_w, int src_h,
                            std::uint32_t rop = 0x00CC0020);
  // The file with the given frame (hundredths of a millimetre) and reference device
  // (1920 x 1440 pixels, 508 x 381 mm unless given).
  std::vector<std::uint8_t> Build(std::int32_t frame_right, std::int32_t frame_bottom, int handles = 4) const;

 private:
  std::vector<std::vector<std::uint8_t>> records_;
};

// WMF functions and EMF record types used by the tests.
namespace wmfr {
inline constexpr std::uint16_t kSetBkMode = 0x0102, kSetMapMode = 0x0103, kSetPolyFillMode = 0x0106,
                               kSetBkColor = 0x0201, kSetWindowOrg = 0x020B, kSetWindowExt = 0x020C,
                               kSetViewportExt = 0x020E, kLineTo = 0x0213, kMoveTo = 0x0214,
                               kIntersectClipRect = 0x0416, kEllipse = 0x0418, kRectangle = 0x041B,
                               kRoundRect = 0x061C, kPatBlt = 0x061D, kSaveDC = 0x001E, kPolygon = 0x0324,
                               kPolyline = 0x0325, kPolyPolygon = 0x0538, kRestoreDC = 0x0127,
                               kSelectObject = 0x012D, kDeleteObject = 0x01F0, kDibBitBlt = 0x0940,
                               kDibStretchBlt = 0x0B41, kSetDibToDev = 0x0D33, kStretchDib = 0x0F43,
                               kCreatePenIndirect = 0x02FA, kCreateBrushIndirect = 0x02FC, kSetRop2 = 0x0104,
                               kCreateRegion = 0x06FF, kSelectClipRegion = 0x012C;
}  // namespace wmfr

namespace emfr {
inline constexpr std::uint32_t kPolygon = 3, kPolyline = 4, kSetWindowExtEx = 9, kSetWindowOrgEx = 10,
                               kSetViewportExtEx = 11, kSetViewportOrgEx = 12, kSetMapMode = 17,
                               kSetPolyFillMode = 19, kMoveToEx = 27, kIntersectClipRect = 30, kSaveDC = 33,
                               kRestoreDC = 34, kSetWorldTransform = 35, kSelectObject = 37, kCreatePen = 38,
                               kCreateBrushIndirect = 39, kDeleteObject = 40, kEllipse = 42, kRectangle = 43,
                               kRoundRect = 44, kLineTo = 54, kBeginPath = 59, kEndPath = 60, kFillPath = 62,
                               kPolygon16 = 86, kPolyPolygon16 = 91, kStretchDIBits = 81, kBitBlt = 76,
                               kFillRgn = 71;
inline constexpr std::uint32_t kStock = 0x80000000u, kNullPen = 8, kNullBrush = 5, kBlackPen = 7;
}  // namespace emfr

}  // namespace qel::test
