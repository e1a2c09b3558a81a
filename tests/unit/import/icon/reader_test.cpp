// The icon reader: which of an icon's images it shows, transparency from the mask or
// the alpha channel, and broken files.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "imaging/errors.h"
#include "imaging/picture_container.h"
#include "imaging/stream.h"
#include "import/icon/reader.h"
#include "support/test_support.h"
#include "unit/import/icon/ico_builder.h"

namespace qel {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::BuildIco;
using test::IconImage;
using test::MaskedIcon;

constexpr TColor kWhite = 0xFFFFFF;

Picture LoadBytes(const Bytes& bytes, const GraphicClass& graphic_class) {
  TMemoryStream stream{std::span<const std::uint8_t>(bytes)};
  return LoadPictureStream(stream, graphic_class);
}

// The message of the error that loading raises ("" when it loads).
std::string LoadError(const Bytes& bytes, const GraphicClass& graphic_class) {
  try {
    LoadBytes(bytes, graphic_class);
  } catch (const Error& e) {
    return e.what();
  }
  return "";
}

Bytes Prefix(const Bytes& bytes, std::size_t count) {
  return Bytes(bytes.begin(), bytes.begin() + long(count));
}

IconImage SolidIcon(int size, std::uint16_t bits, TColor color) {
  IconImage im{size, size, bits, {}, nullptr};
  if (bits == 32) {
    im.pixel = [color](int, int) {
      return 0xFF000000u | (RedOf(color) << 16) | (GreenOf(color) << 8) | BlueOf(color);
    };
  } else {
    im.palette = {0x000000, color};
    im.pixel = [](int, int) { return 1u; };
  }
  return im;
}

TEST(IconReader, ShowsTheLargestThenDeepestImage) {
  const Bytes ico = BuildIco({SolidIcon(16, 8, 0x0000FF), SolidIcon(32, 4, 0x00FF00),
                              SolidIcon(32, 8, 0xFF0000), SolidIcon(24, 32, 0x00FFFF)});
  const Picture p = LoadBytes(ico, TIcon::StaticClass());
  ASSERT_EQ(p.Width(), 32);
  ASSERT_EQ(p.Height(), 32);
  EXPECT_EQ(p.Pixel(5, 5), 0xFF0000u);
  EXPECT_FALSE(p.Transparent());
}

TEST(IconReader, MaskAndAlphaMakePartsTransparentAsPillowShowsThem) {
  QEL_SKIP_WITHOUT("pillow");
  IconImage alpha{6, 4, 32, {}, [](int x, int y) {
                    return (std::uint32_t(x * 50) << 24) | std::uint32_t(0x203040 * (y + 1));
                  }};
  alpha.masked = [](int, int) { return true; };  // ignored: the alpha rules
  const std::vector<std::pair<const char*, Bytes>> cases = {
      {"masked4bit", BuildIco({MaskedIcon()})},
      {"alpha32", BuildIco({alpha})},
  };
  test::TempDir dir;
  for (const auto& [name, ico] : cases) {
    SCOPED_TRACE(name);
    const auto path = dir / (std::string(name) + ".ico");
    test::WriteFileBytes(path, ico);
    const std::optional<Picture> expected = test::PillowDecode(path);
    ASSERT_TRUE(expected.has_value());
    const Picture ours = LoadPictureFile(path.string());
    EXPECT_EQ(test::Compare(ours, *expected).differing_pixels, 0u)
        << test::Compare(ours, *expected).Describe();
    EXPECT_TRUE(ours.Transparent());
  }
  // A 32-bit image whose alpha is 0 everywhere relies on its mask (Pillow would show
  // it all white).
  IconImage unfilled{4, 4, 32, {}, [](int, int) { return 0x00336699u; }};
  unfilled.masked = [](int x, int) { return x < 2; };
  const Picture p = LoadBytes(BuildIco({unfilled}), TIcon::StaticClass());
  EXPECT_EQ(p.Pixel(0, 0), kWhite);
  EXPECT_EQ(p.Pixel(3, 3), RGBColor(0x33, 0x66, 0x99));
  EXPECT_TRUE(p.Transparent());
}

TEST(IconReader, BrokenIconsFailCleanly) {
  const Bytes good = BuildIco({MaskedIcon()});
  ASSERT_EQ(LoadError(good, TIcon::StaticClass()), "");
  Bytes far_offset = good;
  far_offset[18] = 0xFF;  // the image's offset points past the end
  Bytes no_images = good;
  no_images[4] = 0;
  EXPECT_EQ(LoadError(far_offset, TIcon::StaticClass()),
            "Cannot load image. Invalid or unexpected ICO image format.");
  EXPECT_EQ(LoadError(no_images, TIcon::StaticClass()),
            "Cannot load image. Invalid or unexpected ICO image format.");
  EXPECT_EQ(LoadError(Prefix(good, good.size() - 10), TIcon::StaticClass()),
            "Stream read error in ICO file.");
  EXPECT_EQ(LoadError(Prefix(good, 12), TIcon::StaticClass()), "Stream read error in ICO file.");
  EXPECT_NE(LoadError(Prefix(good, 40), TIcon::StaticClass()), "");
}

}  // namespace
}  // namespace qel
