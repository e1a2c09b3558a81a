// Playback of Windows metafiles and enhanced metafiles built byte by byte, checked pixel
// by pixel at chosen points, and the refusal of truncated and lying files.
#include <gtest/gtest.h>

#include <random>

#include "imaging/errors.h"
#include "imaging/graphic.h"
#include "imaging/stream.h"
#include "import/metafile/reader.h"
#include "unit/import/metafile/fixtures.h"

namespace qel {
namespace {

using test::DibParts;
using test::EmfBuilder;
using test::MakeDib;
using test::WmfBuilder;
namespace wmfr = test::wmfr;
namespace emfr = test::emfr;

constexpr TColor kWhite = 0xFFFFFF, kBlack = 0x000000, kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000,
                 kYellow = 0x00FFFF, kCyan = 0xFFFF00, kMagenta = 0xFF00FF;

// Low and high words of a 32-bit value, in file order.
int Lo(std::uint32_t v) {
  return int(v & 0xFFFF);
}
int Hi(std::uint32_t v) {
  return int(v >> 16);
}

// The frame, in hundredths of a millimetre, of a picture side on the 96-dpi reference device.
std::int32_t FrameWidth(int pixels) {
  return std::int32_t(pixels * 50800 / 1920);
}
std::int32_t FrameHeight(int pixels) {
  return std::int32_t(pixels * 38100 / 1440);
}

std::unique_ptr<TMetafile> Load(const std::vector<std::uint8_t>& bytes) {
  auto metafile = std::make_unique<TMetafile>();
  TMemoryStream stream(bytes);
  metafile->LoadFromStream(stream);
  return metafile;
}

Picture Render(const std::vector<std::uint8_t>& bytes) {
  auto metafile = Load(bytes);
  return CopyToPicture(*metafile, true);
}

// Expects the colours at the listed points.
void ExpectPixels(const Picture& p, std::initializer_list<std::tuple<int, int, TColor>> points) {
  for (const auto& [x, y, color] : points) {
    EXPECT_EQ(p.Pixel(x, y), color) << "at (" << x << ", " << y << ")";
  }
}

std::vector<std::uint8_t> PlaceableFixture() {
  const DibParts quad = MakeDib({{kCyan, kMagenta}, {kYellow, kBlack}}, 24);
  WmfBuilder w;
  w.Record(wmfr::kSetMapMode, {8})
      .Record(wmfr::kSetWindowOrg, {0, 0})
      .Record(wmfr::kSetWindowExt, {500, 1000})
      .Record(wmfr::kCreateBrushIndirect, {0, Lo(kRed), Hi(kRed), 0})  // slot 0
      .Record(wmfr::kCreatePenIndirect, {5, 0, 0, 0, 0})               // slot 1: no pen
      .Record(wmfr::kSelectObject, {0})
      .Record(wmfr::kSelectObject, {1})
      .Record(wmfr::kRectangle, {300, 300, 100, 100})
      .Record(wmfr::kCreateBrushIndirect, {0, Lo(kBlue), Hi(kBlue), 0})  // slot 2
      .Record(wmfr::kSelectObject, {2})
      .Record(wmfr::kEllipse, {400, 600, 0, 400})
      .Record(wmfr::kDeleteObject, {0})
      .Record(wmfr::kCreateBrushIndirect, {0, Lo(kGreen), Hi(kGreen), 0})  // reuses slot 0
      .Record(wmfr::kSelectObject, {0})
      .Record(wmfr::kPolygon, {3, 700, 50, 950, 50, 700, 450})
      .RecordWithBytes(wmfr::kDibStretchBlt, {Lo(0x00CC0020), Hi(0x00CC0020), 2, 2, 0, 0, 100, 200, 350, 100},
                       quad.Packed());
  return w.Placeable(0, 0, 1000, 500, 1000, 3);
}

TEST(MetafileWmf, PlaceableFileIsShownAtItsBoundingBoxIn96Dpi) {
  auto metafile = Load(PlaceableFixture());
  EXPECT_FALSE(metafile->Enhanced());
  EXPECT_EQ(metafile->Width(), 96);  // 1000 units at 1000 units per inch
  EXPECT_EQ(metafile->Height(), 48);
  EXPECT_TRUE(metafile->Transparent());  // the bottom-left pixel is left undrawn

  const Picture p = CopyToPicture(*metafile, true);
  EXPECT_TRUE(p.Transparent());
  // Rectangle 100..300 scaled by 0.096: pixels 10..28.
  ExpectPixels(p, {{10, 10, kRed}, {28, 28, kRed}, {9, 9, kWhite}, {29, 29, kWhite}, {20, 29, kWhite}});
  // Ellipse in x 38.4..57.6, y 0..38.4: centre filled, bounding-box corner not.
  ExpectPixels(p, {{48, 19, kBlue}, {39, 1, kWhite}, {56, 37, kWhite}, {40, 19, kBlue}});
  // The triangle in the brush that took the freed slot.
  ExpectPixels(p, {{70, 10, kGreen}, {68, 40, kGreen}, {88, 40, kWhite}});
  // The 2 x 2 bitmap stretched over x 9.6..28.8, y 33.6..43.2.
  ExpectPixels(p,
               {{12, 35, kCyan}, {25, 35, kMagenta}, {12, 41, kYellow}, {25, 41, kBlack}, {12, 44, kWhite}});
  EXPECT_EQ(p.Pixel(0, 47), kWhite);
}

std::vector<std::uint8_t> PlainFixture() {
  const DibParts eight = MakeDib({{kRed, kGreen, kBlue, kWhite}, {kBlack, kYellow, kCyan, kMagenta}}, 8);
  const DibParts four = MakeDib({{kRed, kGreen, kBlue}, {kYellow, kCyan, kMagenta}}, 4);
  const DibParts one = MakeDib({{kBlack, kWhite, kBlack, kWhite, kWhite, kBlack, kBlack, kWhite}}, 1);
  const std::uint32_t copy = 0x00CC0020;
  WmfBuilder w;
  w.Record(wmfr::kSetWindowOrg, {0, 0})
      .Record(wmfr::kSetWindowExt, {100, 200})
      .Record(wmfr::kCreatePenIndirect, {0, 1, 0, 0, 0})                     // 0: black, 1 wide
      .Record(wmfr::kCreateBrushIndirect, {0, Lo(kYellow), Hi(kYellow), 0})  // 1
      .Record(wmfr::kSelectObject, {0})
      .Record(wmfr::kSelectObject, {1})
      .Record(wmfr::kRectangle, {40, 50, 10, 10})
      .Record(wmfr::kMoveTo, {10, 60})
      .Record(wmfr::kLineTo, {10, 100})
      .Record(wmfr::kCreatePenIndirect, {0, 6, 0, Lo(kRed), Hi(kRed)})  // 2: red, 6 wide
      .Record(wmfr::kSelectObject, {2})
      .Record(wmfr::kPolyline, {2, 60, 30, 120, 30})
      .Record(wmfr::kCreatePenIndirect, {5, 0, 0, 0, 0})                 // 3: no pen
      .Record(wmfr::kCreateBrushIndirect, {0, Lo(kBlue), Hi(kBlue), 0})  // 4
      .Record(wmfr::kSelectObject, {3})
      .Record(wmfr::kSelectObject, {4})
      .Record(wmfr::kPolyPolygon,
              {2, 4, 4, 130, 10, 190, 10, 190, 70, 130, 70, 150, 30, 170, 30, 170, 50, 150, 50})
      .RecordWithBytes(wmfr::kStretchDib, {Lo(copy), Hi(copy), 0, 2, 4, 0, 0, 20, 40, 60, 10}, eight.Packed())
      .RecordWithBytes(wmfr::kSetDibToDev, {0, 2, 0, 0, 0, 2, 3, 60, 60}, four.Packed())
      .RecordWithBytes(wmfr::kDibBitBlt, {Lo(copy), Hi(copy), 0, 0, 1, 8, 60, 100}, one.Packed());
  return w.Plain(5);
}

TEST(MetafileWmf, PlainFileIsShownAtItsWindowExtent) {
  const Picture p = Render(PlainFixture());
  ASSERT_EQ(p.Width(), 200);
  ASSERT_EQ(p.Height(), 100);
  EXPECT_TRUE(p.Transparent());
  // A one-pixel outline on the outermost pixels of the rectangle, the brush inside.
  ExpectPixels(p, {{10, 20, kBlack},
                   {49, 20, kBlack},
                   {30, 10, kBlack},
                   {30, 39, kBlack},
                   {30, 20, kYellow},
                   {11, 11, kYellow},
                   {50, 20, kWhite},
                   {30, 40, kWhite}});
  // LineTo leaves out its last pixel.
  ExpectPixels(p, {{60, 10, kBlack}, {99, 10, kBlack}, {100, 10, kWhite}, {80, 11, kWhite}});
  // A 6-pixel pen centred on the line through the pixels of row 30.
  ExpectPixels(p, {{90, 27, kRed}, {90, 32, kRed}, {90, 26, kWhite}, {90, 34, kWhite}});
  // Two squares under the alternate fill mode: the inner one is a hole.
  ExpectPixels(p, {{140, 20, kBlue}, {185, 65, kBlue}, {160, 40, kWhite}, {190, 40, kWhite}});
  // StretchDIBits: each bitmap pixel becomes 10 x 10.
  ExpectPixels(p, {{15, 65, kRed},
                   {25, 65, kGreen},
                   {35, 65, kBlue},
                   {45, 65, kWhite},
                   {15, 75, kBlack},
                   {25, 75, kYellow},
                   {35, 75, kCyan},
                   {45, 75, kMagenta}});
  // SetDIBitsToDevice: one device pixel per bitmap pixel.
  ExpectPixels(p, {{60, 60, kRed}, {61, 60, kGreen}, {62, 60, kBlue}, {60, 61, kYellow}, {62, 61, kMagenta}});
  // A 1-bit bitmap block.
  ExpectPixels(p, {{100, 60, kBlack}, {101, 60, kWhite}, {105, 60, kBlack}, {107, 60, kWhite}});
}

TEST(MetafileWmf, SavedStatesClipAndRasterOperations) {
  WmfBuilder w;
  w.Record(wmfr::kSetWindowExt, {40, 40})
      .Record(wmfr::kCreatePenIndirect, {5, 0, 0, 0, 0})
      .Record(wmfr::kCreateBrushIndirect, {0, Lo(kRed), Hi(kRed), 0})
      .Record(wmfr::kSelectObject, {0})
      .Record(wmfr::kSelectObject, {1})
      .Record(wmfr::kSaveDC, {})
      .Record(wmfr::kIntersectClipRect, {20, 20, 10, 10})
      .Record(wmfr::kRectangle, {40, 40, 0, 0})
      .Record(wmfr::kRestoreDC, {-1})
      .Record(wmfr::kRectangle, {40, 5, 0, 0})  // after the restore the clip is gone
      .Record(wmfr::kSetRop2, {7})              // exclusive or with the pen/brush
      .Record(wmfr::kCreateBrushIndirect, {0, Lo(0xFFFFFF), Hi(0xFFFFFF), 0})
      .Record(wmfr::kSelectObject, {2})
      .Record(wmfr::kRectangle, {40, 40, 30, 0})
      .Record(wmfr::kPatBlt, {Lo(0x00550009), Hi(0x00550009), 5, 5, 35, 35});  // DSTINVERT
  const Picture p = Render(w.Plain(3));
  ExpectPixels(p, {{10, 10, kRed}, {19, 19, kRed}, {20, 20, kWhite}, {9, 15, kWhite}, {25, 25, kWhite}});
  ExpectPixels(p, {{2, 25, kRed}});
  // White XOR white is black; white XOR red is cyan.
  ExpectPixels(p, {{15, 35, kBlack}, {2, 35, kCyan}});
  // The inverted corner: the black of the exclusive or becomes white again.
  ExpectPixels(p, {{36, 36, kWhite}, {36, 34, kBlack}, {34, 36, kBlack}});
  // The bottom-left pixel is drawn (red, then exclusive-ored): the picture is opaque.
  EXPECT_FALSE(p.Transparent());
}

TEST(MetafileWmf, OpaqueBottomLeftMeansNotTransparent) {
  WmfBuilder w;
  w.Record(wmfr::kSetWindowExt, {10, 10})
      .Record(wmfr::kCreateBrushIndirect, {0, Lo(kRed), Hi(kRed), 0})
      .Record(wmfr::kSelectObject, {0})
      .Record(wmfr::kRectangle, {10, 10, 0, 0});
  auto metafile = Load(w.Plain(1));
  EXPECT_FALSE(metafile->Transparent());
  EXPECT_FALSE(CopyToPicture(*metafile, true).Transparent());
}

TEST(MetafileWmf, RegionsAndBrushesFromTheObjectTable) {
  WmfBuilder w;
  w.Record(wmfr::kSetWindowExt, {40, 40})
      .Record(wmfr::kCreatePenIndirect, {5, 0, 0, 0, 0})                   // slot 0: no pen
      .Record(wmfr::kCreateBrushIndirect, {0, Lo(kRed), Hi(kRed), 0})      // slot 1
      .Record(wmfr::kCreateRegion, {0, 0, 0, 0, 0, 0, 0, 10, 10, 20, 20})  // slot 2
      .Record(wmfr::kSelectObject, {0})
      .Record(wmfr::kSelectObject, {1})
      .Record(wmfr::kSelectObject, {2})  // a region selected as an object narrows the clip
      .Record(wmfr::kRectangle, {40, 40, 0, 0})
      .Record(wmfr::kSelectClipRegion, {1})  // not a region: the clip is the whole picture again
      .Record(wmfr::kRectangle, {5, 40, 0, 0})
      .Record(wmfr::kCreateBrushIndirect, {4, Lo(kBlue), Hi(kBlue), 0})  // slot 3: BS_INDEXED
      .Record(wmfr::kSelectObject, {3})
      .Record(wmfr::kRectangle, {40, 40, 0, 30})
      .Record(wmfr::kSelectClipRegion, {2})
      .Record(wmfr::kSelectObject, {1})
      .Record(wmfr::kRectangle, {40, 40, 25, 0});
  const Picture p = Render(w.Plain(4));
  ExpectPixels(p, {{10, 10, kRed}, {19, 19, kRed}, {9, 15, kWhite}, {20, 15, kWhite}, {25, 25, kWhite}});
  ExpectPixels(p, {{2, 2, kRed}, {35, 3, kRed}, {5, 8, kWhite}});
  // An indirect brush of a style other than solid or hatched draws nothing.
  ExpectPixels(p, {{35, 15, kWhite}, {35, 35, kWhite}});
  // SelectClipRegion of the region: only its box, which the last rectangle lies below.
  ExpectPixels(p, {{5, 30, kWhite}, {15, 30, kWhite}, {35, 30, kWhite}});
}

std::vector<std::uint8_t> EmfFixture() {
  const DibParts quad = MakeDib({{kCyan, kMagenta}, {kYellow, kBlack}}, 32, false, true);
  test::ByteWriter xform;
  xform.F32(1).F32(0).F32(0).F32(1).F32(85).F32(50);
  test::ByteWriter identity;
  identity.F32(1).F32(0).F32(0).F32(1).F32(0).F32(0);
  test::ByteWriter triangle;  // POLYGON16: bounds, count, points
  triangle.I32(0).I32(0).I32(0).I32(0).U32(3).I16(10).I16(60).I16(30).I16(60).I16(10).I16(78);
  EmfBuilder e;
  e.Record(emfr::kCreateBrushIndirect, {1, 0, std::int32_t(kRed), 0})
      .Record(emfr::kSelectObject, {1})
      .Record(emfr::kSelectObject, {std::int32_t(emfr::kStock | emfr::kNullPen)})
      .Record(emfr::kRectangle, {10, 10, 30, 30})
      .StretchDIBits(40, 10, 20, 20, quad, 2, 2)
      .Record(emfr::kSaveDC, {})
      .Record(emfr::kCreatePen, {2, 0, 1, 0, std::int32_t(kGreen)})
      .Record(emfr::kSelectObject, {2})
      .Record(emfr::kMoveToEx, {0, 45})
      .Record(emfr::kLineTo, {50, 45})
      .Record(emfr::kRestoreDC, {-1})
      .Record(emfr::kMoveToEx, {0, 47})
      .Record(emfr::kLineTo, {50, 47})
      .Record(emfr::kSaveDC, {})
      .Record(emfr::kIntersectClipRect, {60, 50, 80, 55})
      .Record(emfr::kCreateBrushIndirect, {3, 0, std::int32_t(kYellow), 0})
      .Record(emfr::kSelectObject, {3})
      .Record(emfr::kSelectObject, {std::int32_t(emfr::kStock | emfr::kNullPen)})
      .Record(emfr::kRectangle, {0, 0, 100, 80})
      .Record(emfr::kRestoreDC, {-1})
      .Record(emfr::kSetWorldTransform, xform.bytes)
      .Record(emfr::kRectangle, {0, 0, 10, 10})
      .Record(emfr::kSetWorldTransform, identity.bytes)
      .Record(emfr::kBeginPath, {})
      .Record(emfr::kPolygon16, triangle.bytes)
      .Record(emfr::kEndPath, {})
      .Record(emfr::kFillPath, {0, 0, 0, 0})
      .Record(emfr::kSetMapMode, {8})
      .Record(emfr::kSetWindowExtEx, {1000, 1000})
      .Record(emfr::kSetViewportExtEx, {100, 100})
      .Record(emfr::kCreateBrushIndirect, {1, 0, std::int32_t(kBlue), 0})
      .Record(emfr::kSelectObject, {1})
      .Record(emfr::kEllipse, {600, 100, 900, 400});
  return e.Build(FrameWidth(100), FrameHeight(80));
}

TEST(MetafileEmf, FrameGivesTheSizeAndRecordsDraw) {
  auto metafile = Load(EmfFixture());
  EXPECT_TRUE(metafile->Enhanced());
  EXPECT_EQ(metafile->Width(), 100);
  EXPECT_EQ(metafile->Height(), 80);
  const Picture p = CopyToPicture(*metafile, true);
  EXPECT_TRUE(p.Transparent());
  ExpectPixels(p, {{10, 10, kRed}, {29, 29, kRed}, {30, 30, kWhite}, {9, 9, kWhite}});
  ExpectPixels(p,
               {{45, 15, kCyan}, {55, 15, kMagenta}, {45, 25, kYellow}, {55, 25, kBlack}, {60, 15, kWhite}});
  // RestoreDC brings back the pen of the save, no pen: the second line is not drawn.
  ExpectPixels(p, {{20, 45, kGreen}, {49, 45, kGreen}, {50, 45, kWhite}, {20, 47, kWhite}, {20, 46, kWhite}});
  // A full-size rectangle through the clip 60..80 x 50..55.
  ExpectPixels(p, {{60, 50, kYellow}, {79, 54, kYellow}, {59, 52, kWhite}, {70, 55, kWhite}, {0, 0, kWhite}});
  // The world transform moves a rectangle to (85, 50); the path fills a triangle.
  ExpectPixels(p, {{85, 50, kRed}, {94, 59, kRed}, {84, 50, kWhite}, {95, 55, kWhite}});
  ExpectPixels(p, {{12, 62, kRed}, {27, 61, kRed}, {29, 61, kWhite}, {28, 76, kWhite}});
  // Window 1000 onto viewport 100: the ellipse covers 60..90 x 10..40.
  ExpectPixels(p, {{75, 25, kBlue}, {61, 11, kWhite}, {88, 38, kWhite}, {62, 25, kBlue}});
}

TEST(MetafileEmf, RoundRectPieHatchAndDashes) {
  EmfBuilder e;
  e.Record(emfr::kSelectObject, {std::int32_t(emfr::kStock | emfr::kNullPen)})
      .Record(emfr::kCreateBrushIndirect, {1, 0, std::int32_t(kRed), 0})
      .Record(emfr::kSelectObject, {1})
      .Record(emfr::kRoundRect, {10, 10, 50, 40, 20, 20})
      .Record(emfr::kCreateBrushIndirect, {1, 0, std::int32_t(kBlue), 0})
      .Record(emfr::kSelectObject, {1})
      .Record(47, {60, 0, 100, 40, 100, 20, 80, 0})                         // EMR_PIE from east to north
      .Record(18, {1})                                                      // SetBkMode(TRANSPARENT)
      .Record(emfr::kCreateBrushIndirect, {2, 2, std::int32_t(kGreen), 4})  // cross hatch
      .Record(emfr::kSelectObject, {2})
      .Record(emfr::kRectangle, {0, 50, 40, 80})
      .Record(18, {2})  // OPAQUE
      .Record(25, {std::int32_t(kYellow)})
      .Record(emfr::kRectangle, {50, 50, 90, 80})
      .Record(18, {1})
      .Record(emfr::kCreatePen, {3, 1, 1, 0, 0})  // PS_DASH, black
      .Record(emfr::kSelectObject, {3})
      .Record(emfr::kMoveToEx, {0, 90})
      .Record(emfr::kLineTo, {60, 90});
  const Picture p = Render(e.Build(FrameWidth(100), FrameHeight(100)));
  // Corners of radius 10 are cut away.
  ExpectPixels(p, {{11, 11, kWhite}, {30, 11, kRed}, {11, 25, kRed}, {48, 38, kWhite}, {45, 25, kRed}});
  // The pie runs counter-clockwise from east to north: the upper right quarter.
  ExpectPixels(p, {{90, 10, kBlue}, {81, 18, kBlue}, {70, 10, kWhite}, {70, 30, kWhite}, {90, 30, kWhite}});
  // Hatch lines on every eighth row and column; the gaps transparent, then opaque yellow.
  ExpectPixels(p, {{7, 52, kGreen}, {3, 55, kGreen}, {3, 52, kWhite}, {53, 52, kYellow}, {55, 55, kGreen}});
  // PS_DASH: 18 pixels on, 6 off (left alone in transparent mode).
  ExpectPixels(p, {{0, 90, kBlack}, {17, 90, kBlack}, {18, 90, kWhite}, {23, 90, kWhite}, {24, 90, kBlack}});
}

TEST(MetafileEmf, MetricMappingAndBoundsWithoutFrame) {
  // MM_LOMETRIC: tenths of a millimetre, y up; 1920 pixels on 508 mm make 0.378 pixels a unit.
  EmfBuilder e;
  e.Record(emfr::kSetMapMode, {2})
      .Record(emfr::kCreateBrushIndirect, {1, 0, std::int32_t(kRed), 0})
      .Record(emfr::kSelectObject, {1})
      .Record(emfr::kSelectObject, {std::int32_t(emfr::kStock | emfr::kNullPen)})
      .Record(emfr::kRectangle, {0, 0, 100, -50});
  const Picture metric = Render(e.Build(FrameWidth(50), FrameHeight(30)));
  ExpectPixels(metric, {{0, 0, kRed}, {37, 18, kRed}, {38, 10, kWhite}, {10, 19, kWhite}});

  // Without a frame the bounds (inclusive, in device pixels) give the size.
  auto bytes = EmfBuilder().Record(emfr::kRectangle, {0, 0, 4, 4}).Build(0, 0);
  bytes[16] = 9;  // bounds right
  bytes[20] = 4;  // bounds bottom
  auto metafile = Load(bytes);
  EXPECT_EQ(metafile->Width(), 10);
  EXPECT_EQ(metafile->Height(), 5);
  EXPECT_EQ(CopyToPicture(*metafile, true).Pixel(2, 2), kWhite);  // the default white brush
  EXPECT_EQ(CopyToPicture(*metafile, true).Pixel(0, 0), kBlack);  // the default black pen
}

TEST(MetafileEmf, BitmapFormats) {
  const std::vector<std::vector<TColor>> colors = {{kRed, kGreen, kBlue, kWhite},
                                                   {kBlack, kYellow, kCyan, kMagenta}};
  const std::vector<std::vector<TColor>> mono = {{kBlack, kWhite, kWhite, kBlack},
                                                 {kWhite, kBlack, kBlack, kWhite}};
  struct Case {
    int bits;
    bool top_down, bit_fields;
  };
  for (const Case c :
       {Case{1, false, false}, Case{4, false, false}, Case{8, false, false}, Case{16, false, true},
        Case{24, false, false}, Case{24, true, false}, Case{32, false, false}, Case{32, true, true}}) {
    SCOPED_TRACE(testing::Message() << c.bits << " bits, top-down " << c.top_down);
    const auto& rows = c.bits == 1 ? mono : colors;
    EmfBuilder e;
    e.StretchDIBits(0, 0, 4, 2, MakeDib(rows, c.bits, c.top_down, c.bit_fields), 4, 2);
    const Picture p = Render(e.Build(FrameWidth(4), FrameHeight(2)));
    ASSERT_EQ(p.Width(), 4);
    ASSERT_EQ(p.Height(), 2);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 4; ++x) EXPECT_EQ(p.Pixel(x, y), rows[y][x]) << x << "," << y;
    EXPECT_FALSE(p.Transparent());
  }
}

TEST(MetafileEmf, SourceRectangleOfABottomUpBitmapCountsFromTheBottom) {
  // Rows of the 1 x 4 bitmap from the top: red, green, blue, yellow. The source rectangle
  // (0, 1, 1, 2) of a bottom-up bitmap is rows 1..2 from the bottom: green and blue.
  const DibParts dib = MakeDib({{kRed}, {kGreen}, {kBlue}, {kYellow}}, 24);
  test::ByteWriter p;
  p.I32(0).I32(0).I32(0).I32(0).I32(0).I32(0).I32(0).I32(1).I32(1).I32(2);
  p.U32(80).U32(std::uint32_t(dib.info.size())).U32(80 + std::uint32_t(dib.info.size()));
  p.U32(std::uint32_t(dib.bits.size())).U32(0).U32(0x00CC0020).I32(1).I32(2);
  p.Append(dib.info).Append(dib.bits);
  EmfBuilder e;
  e.Record(emfr::kStretchDIBits, p.bytes);
  const Picture pic = Render(e.Build(FrameWidth(1), FrameHeight(2)));
  ExpectPixels(pic, {{0, 0, kGreen}, {0, 1, kBlue}});
}

TEST(MetafileEmf, FillRgnWithStockAndTableBrushes) {
  // FILLRGN: bounds, region size, brush, then a region of one device rectangle.
  auto fill = [](std::uint32_t brush, std::int32_t left, std::int32_t top) {
    test::ByteWriter p;
    p.I32(0).I32(0).I32(0).I32(0).U32(48).U32(brush);
    p.U32(32).U32(1).U32(1).U32(16).I32(left).I32(top).I32(left + 10).I32(top + 10);
    p.I32(left).I32(top).I32(left + 10).I32(top + 10);
    return p.bytes;
  };
  EmfBuilder e;
  e.Record(emfr::kCreateBrushIndirect, {1, 0, std::int32_t(kBlue), 0})
      .Record(emfr::kFillRgn, fill(emfr::kStock | 2, 0, 0))                  // GRAY_BRUSH
      .Record(emfr::kFillRgn, fill(emfr::kStock | 4, 10, 0))                 // BLACK_BRUSH
      .Record(emfr::kFillRgn, fill(emfr::kStock | emfr::kNullBrush, 20, 0))  // draws nothing
      .Record(emfr::kFillRgn, fill(1, 30, 0))                                // the table's brush
      .Record(emfr::kFillRgn, fill(2, 0, 10))                                // a free slot: nothing
      .Record(emfr::kFillRgn, fill(emfr::kStock | 1, 10, 10));               // LTGRAY_BRUSH
  const Picture p = Render(e.Build(FrameWidth(40), FrameHeight(20)));
  ExpectPixels(p, {{5, 5, 0x808080}, {15, 5, kBlack}, {25, 5, kWhite}, {35, 5, kBlue}});
  ExpectPixels(p, {{5, 15, kWhite}, {15, 15, 0xC0C0C0}, {25, 15, kWhite}});
}

// ---- Bad input ----

void ExpectRefused(const std::vector<std::uint8_t>& bytes, const char* what) {
  EXPECT_THROW(Load(bytes), EInvalidGraphic) << what;
}

TEST(MetafileErrors, EveryTruncationIsRefused) {
  for (const auto& file : {PlaceableFixture(), PlainFixture(), EmfFixture()}) {
    for (std::size_t size = 0; size < file.size(); ++size) {
      std::vector<std::uint8_t> cut(file.begin(), file.begin() + std::ptrdiff_t(size));
      EXPECT_THROW(Load(cut), EInvalidGraphic) << "cut at " << size;
    }
  }
}

TEST(MetafileErrors, RecordLengthsThatLieOrLoop) {
  std::vector<std::uint8_t> wmf = PlainFixture();
  // The first record after the header (SetWindowOrg) given sizes 0, 1 and 2 words.
  for (std::uint8_t words : {0, 1, 2}) {
    auto bad = wmf;
    bad[18] = words;
    ExpectRefused(bad, "WMF record shorter than its header");
  }
  auto huge = wmf;
  huge[18] = 0xFF, huge[19] = 0xFF, huge[20] = 0xFF, huge[21] = 0x7F;
  ExpectRefused(huge, "WMF record past the end");

  std::vector<std::uint8_t> emf = EmfFixture();
  const std::size_t first = 88;  // the record after the header
  for (std::uint32_t size : {0u, 4u, 10u, 0x7FFFFFF0u}) {
    auto bad = emf;
    bad[first + 4] = std::uint8_t(size), bad[first + 5] = std::uint8_t(size >> 8);
    bad[first + 6] = std::uint8_t(size >> 16), bad[first + 7] = std::uint8_t(size >> 24);
    ExpectRefused(bad, "EMF record size");
  }
  auto no_header = emf;
  no_header[4] = 40;  // header size below the fixed part
  ExpectRefused(no_header, "EMF header size");
}

TEST(MetafileErrors, ContentThatDoesNotFitItsRecord) {
  // A polygon that announces more points than its record holds.
  WmfBuilder polygon;
  polygon.Record(wmfr::kSetWindowExt, {10, 10}).Record(wmfr::kPolygon, {30000, 1, 1, 5, 5});
  ExpectRefused(polygon.Plain(0), "WMF polygon count");

  test::ByteWriter points;
  points.I32(0).I32(0).I32(0).I32(0).U32(0x40000000).I32(1).I32(1);
  EmfBuilder emf_polygon;
  emf_polygon.Record(emfr::kPolygon, points.bytes);
  ExpectRefused(emf_polygon.Build(FrameWidth(10), FrameHeight(10)), "EMF polygon count");

  // A bitmap whose header asks for more rows than the bits hold.
  DibParts tall = MakeDib({{kRed, kGreen}}, 24);
  tall.info[8] = 0x40, tall.info[9] = 0x42, tall.info[10] = 0x0F;  // height about a million
  EmfBuilder stretch;
  stretch.StretchDIBits(0, 0, 2, 1, tall, 2, 1);
  ExpectRefused(stretch.Build(FrameWidth(2), FrameHeight(1)), "DIB taller than its bits");
  WmfBuilder blit;
  blit.Record(wmfr::kSetWindowExt, {1, 2})
      .RecordWithBytes(wmfr::kDibStretchBlt, {0x20, 0xCC, 1, 2, 0, 0, 1, 2, 0, 0}, tall.Packed());
  ExpectRefused(blit.Plain(0), "packed DIB taller than its bits");

  // Bitmap offsets outside the record.
  DibParts ok = MakeDib({{kRed, kGreen}}, 24);
  EmfBuilder offsets;
  offsets.StretchDIBits(0, 0, 2, 1, ok, 2, 1);
  auto bad = offsets.Build(FrameWidth(2), FrameHeight(1));
  bad[88 + 48] = 0xF0;  // offBmiSrc
  ExpectRefused(bad, "bitmap offset");

  // Not a metafile at all, a plain file without a window extent, a zero-sized one.
  ExpectRefused({'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "not a metafile");
  ExpectRefused(WmfBuilder().Plain(0), "no window extent");
  ExpectRefused(WmfBuilder().Placeable(0, 0, 0, 100, 96, 0), "empty bounding box");
  ExpectRefused(WmfBuilder().Placeable(0, 0, 100, 100, 0, 0), "zero units per inch");
}

TEST(MetafileErrors, OversizedPictureIsRefusedBeforeDrawing) {
  // 32767 units at 1 unit per inch is a side of 3 million pixels.
  EXPECT_THROW(Load(WmfBuilder().Placeable(0, 0, 32767, 32767, 1, 0)), EOutOfResources);
}

TEST(MetafileErrors, CorruptedBytesNeverCrash) {
  std::mt19937 rng(1234);
  const std::vector<std::vector<std::uint8_t>> files = {PlaceableFixture(), PlainFixture(), EmfFixture()};
  int loaded = 0;
  for (int i = 0; i < 3000; ++i) {
    std::vector<std::uint8_t> bytes = files[std::size_t(i) % files.size()];
    const int flips = 1 + int(rng() % 4);
    for (int f = 0; f < flips; ++f) bytes[rng() % bytes.size()] = std::uint8_t(rng());
    try {
      auto metafile = Load(bytes);
      ++loaded;
      if (std::int64_t(metafile->Width()) * metafile->Height() <= (1 << 22)) CopyToPicture(*metafile, true);
    } catch (const Error&) {
      // Refused cleanly.
    }
  }
  EXPECT_GT(loaded, 0);
}

}  // namespace
}  // namespace qel
