// Camera raw files, as a small linear DNG written here from a picture: developed at full
// size with their colours in place, turned as the camera held it, with LibRaw's stages
// reported as progress.
#include <cmath>

#include "unit/import/library_reader_helpers.h"
#include "unit/import/reader_helpers.h"

namespace qel {
namespace {

using test::Bytes;
using test::PutLE16;
using test::PutLE32;

// A little-endian DNG of one linear (already demosaiced) RGB picture, 16 bits a sample,
// uncompressed, whose camera colours are sRGB's primaries.
Bytes LinearDng(const Picture& picture, int orientation) {
  struct Field {
    std::uint16_t tag, type;
    std::uint32_t count;
    Bytes value;
  };
  const auto shorts = [](std::initializer_list<std::uint32_t> v) {
    Bytes b;
    for (std::uint32_t x : v) PutLE16(b, x);
    return b;
  };
  const auto longs = [](std::initializer_list<std::uint32_t> v) {
    Bytes b;
    for (std::uint32_t x : v) PutLE32(b, x);
    return b;
  };
  const auto rationals = [](std::initializer_list<double> v) {
    Bytes b;
    for (double x : v) {
      PutLE32(b, std::uint32_t(std::int32_t(std::lround(x * 10000))));
      PutLE32(b, 10000);
    }
    return b;
  };
  Bytes pixels;
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x) {
      const TColor c = picture.Pixel(x, y);
      for (int v : {RedOf(c), GreenOf(c), BlueOf(c)}) PutLE16(pixels, std::uint32_t(v) * 257);
    }
  const std::uint32_t w = std::uint32_t(picture.Width()), h = std::uint32_t(picture.Height());
  std::vector<Field> fields = {
      {254, 4, 1, longs({0})},
      {256, 4, 1, longs({w})},
      {257, 4, 1, longs({h})},
      {258, 3, 3, shorts({16, 16, 16})},
      {259, 3, 1, shorts({1})},
      {262, 3, 1, shorts({34892})},  // linear raw
      {271, 2, 4, {'q', 'e', 'l', 0}},
      {272, 2, 5, {'t', 'e', 's', 't', 0}},
      {273, 4, 1, longs({0})},  // the pixels' offset, filled in below
      {274, 3, 1, shorts({std::uint32_t(orientation)})},
      {277, 3, 1, shorts({3})},
      {278, 4, 1, longs({h})},
      {279, 4, 1, longs({std::uint32_t(pixels.size())})},
      {284, 3, 1, shorts({1})},
      {50706, 1, 4, {1, 4, 0, 0}},
      {50708, 2, 9, {'q', 'e', 'l', ' ', 't', 'e', 's', 't', 0}},
      {50717, 4, 1, longs({65535})},
      // XYZ (D50) to sRGB, the camera's matrix; the light D65.
      {50721, 10, 9,
       rationals({3.1338561, -1.6168667, -0.4906146, -0.9787684, 1.9161415, 0.0334540, 0.0719453, -0.2289914,
                  1.4052427})},
      {50728, 5, 3, rationals({1, 1, 1})},
      {50778, 3, 1, shorts({21})},
  };
  const std::uint32_t directory_size = 2 + 12 * std::uint32_t(fields.size()) + 4;
  Bytes out = {'I', 'I', 42, 0};
  PutLE32(out, 8);
  Bytes values;
  std::uint32_t strip_entry = 0;
  PutLE16(out, std::uint32_t(fields.size()));
  for (const Field& f : fields) {
    PutLE16(out, f.tag);
    PutLE16(out, f.type);
    PutLE32(out, f.count);
    if (f.tag == 273) strip_entry = std::uint32_t(out.size());
    if (f.value.size() <= 4) {
      Bytes inline_value = f.value;
      inline_value.resize(4);
      out.insert(out.end(), inline_value.begin(), inline_value.end());
    } else {
      PutLE32(out, 8 + directory_size + std::uint32_t(values.size()));
      values.insert(values.end(), f.value.begin(), f.value.end());
    }
  }
  PutLE32(out, 0);
  out.insert(out.end(), values.begin(), values.end());
  const std::uint32_t pixel_offset = std::uint32_t(out.size());
  for (int i = 0; i < 4; ++i) out[strip_entry + i] = std::uint8_t(pixel_offset >> (8 * i));
  out.insert(out.end(), pixels.begin(), pixels.end());
  return out;
}

// Which of red, green and blue is the strongest (0, 1, 2).
int Strongest(TColor c) {
  const int r = RedOf(c), g = GreenOf(c), b = BlueOf(c);
  return r >= g && r >= b ? 0 : g >= b ? 1 : 2;
}

class Stages : public ProgressObserver {
 public:
  void OnProgress(ProgressStage stage, int percent, const TRect&, std::string_view) override {
    if (stage == ProgressStage::kRunning) percents.push_back(percent);
  }
  void OnWarning(std::string_view) override {}
  std::vector<int> percents;
};

TEST(RawReader, ALinearDngDevelopsWithItsColoursInPlaceAndTurnedUpright) {
  RegisterStartupFormats();
  test::TempDir dir;
  // Quadrants red, green / blue, grey on a 32 x 24 picture.
  Picture source = NewPicture(32, 24, kNoColor);
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 32; ++x)
      source.SetPixel(x, y,
                      y < 12 ? (x < 16 ? RGBColor(200, 30, 30) : RGBColor(30, 200, 30))
                             : (x < 16 ? RGBColor(30, 30, 200) : RGBColor(120, 120, 120)));
  struct Turn {
    int orientation;
    int width, height;
    int red_x, red_y;  // where the red quadrant's middle shows
  };
  for (const Turn& t :
       std::vector<Turn>{{1, 32, 24, 8, 6}, {6, 24, 32, 18, 8}, {8, 24, 32, 6, 24}, {3, 32, 24, 24, 18}}) {
    SCOPED_TRACE(t.orientation);
    const std::filesystem::path file = dir / "photo.dng";
    test::WriteFileBytes(file, LinearDng(source, t.orientation));
    Stages stages;
    const Picture shown = LoadPictureFile(file.string(), &stages);
    ASSERT_EQ(shown.Width(), t.width);
    ASSERT_EQ(shown.Height(), t.height);
    EXPECT_EQ(Strongest(shown.Pixel(t.red_x, t.red_y)), 0);
    // The quadrant diagonally across is grey.
    const TColor grey = shown.Pixel(t.width - 1 - t.red_x, t.height - 1 - t.red_y);
    EXPECT_LE(std::abs(RedOf(grey) - BlueOf(grey)), 12);
    EXPECT_FALSE(stages.percents.empty());
    EXPECT_TRUE(std::is_sorted(stages.percents.begin(), stages.percents.end()));
  }
  // Cut short, or not a raw file at all.
  const Bytes whole = LinearDng(source, 1);
  test::WriteFileBytes(dir / "short.nef", Bytes(whole.begin(), whole.begin() + 200));
  EXPECT_TRUE(test::LoadError(dir / "short.nef").starts_with("Cannot load image."))
      << test::LoadError(dir / "short.nef");
  test::WriteFileBytes(dir / "text.cr2", Bytes(300, 'x'));
  EXPECT_TRUE(test::LoadError(dir / "text.cr2").starts_with("Cannot load image."))
      << test::LoadError(dir / "text.cr2");
}

}  // namespace
}  // namespace qel
