// Headers that ask for more than the file can give: a few hundred bytes claiming a
// 30000 x 30000 picture are refused with a message of our own before anything is
// allocated for the pixels, while large blank pictures, which code into very few bytes,
// still load when the tool itself wrote them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/errors.h"
#include "imaging/picture_container.h"
#include "imaging/stream.h"
#include "output/picture_writers.h"
#include "support/test_support.h"
#include "unit/import/tiff/test_builder.h"

namespace qel {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string kHuge = "30000 x 30000";

// The message of loading the bytes with the class the extension names ("" when it loads).
std::string LoadMessage(const std::string& extension, const Bytes& bytes) {
  const GraphicClass* reader = PictureFormats().FindExtension(extension);
  if (!reader) return "no reader for " + extension;
  TMemoryStream stream{std::span<const std::uint8_t>(bytes)};
  try {
    LoadPictureStream(stream, *reader);
  } catch (const Error& e) {
    return e.what();
  }
  return "";
}

std::string TooLittle(const std::string& format, const std::string& size = kHuge) {
  return "Cannot load image. The " + format + " file holds too little data for a picture of " + size +
         " pixels.";
}

Bytes Encoded(void (*encode)(const Picture&, TStream&), const Picture& picture) {
  TMemoryStream stream;
  encode(picture, stream);
  return stream.TakeBytes();
}

void PutBE32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + std::size_t(i)] = std::uint8_t(v >> (24 - 8 * i));
}
void PutLE16(Bytes& b, std::size_t at, unsigned v) {
  b[at] = std::uint8_t(v), b[at + 1] = std::uint8_t(v >> 8);
}
void PutLE32(Bytes& b, std::size_t at, std::uint32_t v) {
  PutLE16(b, at, v & 0xFFFF), PutLE16(b, at + 2, v >> 16);
}
void PutBE16(Bytes& b, std::size_t at, unsigned v) {
  b[at] = std::uint8_t(v >> 8), b[at + 1] = std::uint8_t(v);
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

TEST(SizeLimits, TinyFilesClaimingHugePicturesAreRefused) {
  const Picture small = NewPicture(16, 16, 0x336699);

  // PNG: the header chunk says 30000 x 30000 (its checksum made right).
  Bytes png = Encoded(&WritePng, small);
  PutBE32(png, 16, 30000), PutBE32(png, 20, 30000);
  PutBE32(png, 29, Crc32(&png[12], 17));
  EXPECT_EQ(LoadMessage("png", png), TooLittle("PNG"));

  // GIF: a logical screen of 30000 x 30000 around a small frame.
  Bytes gif = Encoded(&WriteGif, small);
  PutLE16(gif, 6, 30000), PutLE16(gif, 8, 30000);
  EXPECT_EQ(LoadMessage("gif", gif), TooLittle("GIF"));

  // JPEG: the frame header's size.
  Bytes jpeg = Encoded(&WriteJpeg, small);
  for (std::size_t i = 2; i + 9 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
      PutBE16(jpeg, i + 5, 30000), PutBE16(jpeg, i + 7, 30000);
      break;
    }
  }
  EXPECT_EQ(LoadMessage("jpg", jpeg), TooLittle("JPEG"));

  // Targa, run-length coded, and a Targa without image data.
  Bytes tga = Encoded(&WriteTga, small);
  PutLE16(tga, 12, 30000), PutLE16(tga, 14, 30000);
  EXPECT_EQ(LoadMessage("tga", tga), TooLittle("TGA"));
  Bytes no_image(18, 0);
  no_image[16] = 24;
  PutLE16(no_image, 12, 30000), PutLE16(no_image, 14, 30000);
  EXPECT_EQ(LoadMessage("tga", no_image), TooLittle("TGA"));

  // BMP, run-length coded: the end-of-picture code alone.
  Bytes bmp(54 + 8 + 2, 0);
  bmp[0] = 'B', bmp[1] = 'M';
  PutLE32(bmp, 2, std::uint32_t(bmp.size())), PutLE32(bmp, 10, 54 + 8);
  PutLE32(bmp, 14, 40), PutLE32(bmp, 18, 30000), PutLE32(bmp, 22, 30000);
  PutLE16(bmp, 26, 1), PutLE16(bmp, 28, 8), PutLE32(bmp, 30, 1), PutLE32(bmp, 46, 2);
  bmp[63] = 1;
  EXPECT_EQ(LoadMessage("bmp", bmp), TooLittle("BMP"));

  // SGI, run-length coded: every row of the table points at the same two bytes.
  Bytes sgi(512, 0);
  PutBE16(sgi, 0, 474), sgi[2] = 1, sgi[3] = 1;
  PutBE16(sgi, 4, 2), PutBE16(sgi, 6, 30000), PutBE16(sgi, 8, 30000), PutBE16(sgi, 10, 1);
  PutBE32(sgi, 16, 255);
  const std::size_t table = sgi.size();
  sgi.resize(table + 8 * 30000 + 2, 0);
  for (std::size_t row = 0; row < 30000; ++row) {
    PutBE32(sgi, table + 4 * row, std::uint32_t(table + 8 * 30000));
    PutBE32(sgi, table + 4 * (30000 + row), 2);
  }
  EXPECT_EQ(LoadMessage("sgi", sgi), TooLittle("sgi, bw or rgb(a)"));

  // TIFF, LZW coded, one short strip.
  test::TiffBuilder tiff;
  tiff.Image(30000, 30000, {8}, 5, 1, {{0x80, 0x01}}, 0);
  EXPECT_EQ(LoadMessage("tif", tiff.Build()), TooLittle("TIF/TIFF"));

  // Paint Shop Pro: the attributes block alone.
  Bytes psp(32 + 4 + 10 + 46, 0);
  const std::string signature = "Paint Shop Pro Image File\n\x1a";
  std::copy(signature.begin(), signature.end(), psp.begin());
  PutLE16(psp, 32, 5), psp[36] = '~', psp[37] = 'B', psp[38] = 'K', PutLE32(psp, 42, 46);
  PutLE32(psp, 46, 46), PutLE32(psp, 50, 30000), PutLE32(psp, 54, 30000), PutLE32(psp, 62, 0x40520000);
  psp[66] = 1, PutLE16(psp, 69, 24), PutLE16(psp, 71, 3), PutLE16(psp, 86, 1), PutLE32(psp, 88, 1);
  EXPECT_EQ(LoadMessage("psp", psp), TooLittle("PSP"));

  // A placeable metafile whose frame is 30000 pixels square.
  Bytes wmf(22 + 18 + 6, 0);
  PutLE32(wmf, 0, 0x9AC6CDD7), PutLE16(wmf, 10, 30000), PutLE16(wmf, 12, 30000), PutLE16(wmf, 14, 96);
  std::uint16_t sum = 0;
  for (std::size_t i = 0; i < 20; i += 2) sum ^= std::uint16_t(wmf[i] | wmf[i + 1] << 8);
  PutLE16(wmf, 20, sum);
  PutLE16(wmf, 22, 1), PutLE16(wmf, 24, 9), PutLE16(wmf, 26, 0x300), PutLE32(wmf, 28, 12),
      PutLE32(wmf, 34, 3);
  PutLE32(wmf, 40, 3);
  EXPECT_EQ(LoadMessage("wmf", wmf), TooLittle("WMF"));
}

TEST(SizeLimits, LargeBlankPicturesWrittenByTheToolLoadBack) {
  QEL_SKIP_WITHOUT("convert", "tiffcp");
  // Five million white pixels, more than any file is allowed without data to show for
  // them: each format's own coding makes little of them (JPEG 2000 a few hundred
  // bytes), and every reader takes them back.
  const Picture blank = NewPicture(2500, 2000, 0xFFFFFF);
  const struct {
    const char* extension;
    void (*encode)(const Picture&, TStream&);
  } kWriters[] = {{"bmp", &WriteBmp}, {"jp2", &WriteJp2}, {"tga", &WriteTga}, {"jpg", &WriteJpeg},
                  {"png", &WritePng}, {"gif", &WriteGif}, {"emf", &WriteEmf}};
  for (const auto& writer : kWriters) {
    const Bytes file = Encoded(writer.encode, blank);
    TMemoryStream stream{std::span<const std::uint8_t>(file)};
    const Picture back = LoadPictureStream(stream, *PictureFormats().FindExtension(writer.extension));
    EXPECT_EQ(back.Width(), 2500) << writer.extension;
    EXPECT_EQ(back.Height(), 2000) << writer.extension;
    EXPECT_EQ(back.Pixel(2499, 1999) & 0xF0F0F0, 0xF0F0F0u) << writer.extension;
  }
  // A blank bilevel page of 12 million pixels as libtiff codes it with LZW, in 3 KB.
  test::TempDir dir;
  const std::string page = (dir / "page.tif").string();
  ASSERT_EQ(
      test::RunCommand("/usr/bin/convert -size 4000x3000 xc:white -type Bilevel -depth 1 -compress None " +
                       test::ShellQuote(page)),
      0);
  for (const char* coding : {"lzw"}) {
    const std::string coded = (dir / (std::string("page-") + coding[0] + ".tif")).string();
    ASSERT_EQ(test::RunCommand("tiffcp -c " + std::string(coding) + " " + test::ShellQuote(page) + " " +
                               test::ShellQuote(coded)),
              0);
    const Picture back = LoadPictureFile(coded);
    EXPECT_EQ(back.Width(), 4000) << coding;
    EXPECT_EQ(back.Pixel(3999, 2999), 0xFFFFFFu) << coding;
  }

  // A blank picture below the size always allowed loads from however few bytes: a
  // Targa of 2000 x 2000 black pixels without image data.
  Bytes no_image(18, 0);
  no_image[16] = 24;
  PutLE16(no_image, 12, 2000), PutLE16(no_image, 14, 2000);
  EXPECT_EQ(LoadMessage("tga", no_image), "");
}

}  // namespace
}  // namespace qel
