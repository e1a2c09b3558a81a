#include <gtest/gtest.h>

#include <map>
#include <set>

#include "imaging/errors.h"
#include "imaging/picture_container.h"
#include "imaging/stream.h"
#include "import/framework/bitmap.h"
#include "import/framework/file_format_list.h"
#include "import/framework/format_registry.h"
#include "import/framework/import_graphic.h"
#include "import/gif/giflib_reader.h"
#include "import/png/libpng_reader.h"

namespace qel {
namespace {

// A class derived from TBitmap, for the derivation rules of the lists.
class TDerivedBitmap : public TBitmap {
 public:
  static const GraphicClass& StaticClass() {
    static const GraphicClass cls("TDerivedBitmap", &TBitmap::StaticClass(), &MakeGraphic<TDerivedBitmap>);
    return cls;
  }
  const GraphicClass& Class() const override { return StaticClass(); }
};

TEST(FormatTable, WinnersForEveryExtension) {
  const std::map<std::string, std::string> winners = {
      {"gif", "TGIFImage"},       {"png", "TPNGObject"},       {"jp2", "TJpeg2000Bitmap"},
      {"j2k", "TJpeg2000Bitmap"}, {"jpc", "TJpeg2000Bitmap"},  {"jpg", "TJPEGImage"},
      {"jpeg", "TJPEGImage"},     {"jfif", "TJPEGImage"},      {"jpe", "TJPEGImage"},
      {"bmp", "TBitmap"},         {"rle", "TBitmap"},          {"dib", "TBitmap"},
      {"ico", "TIcon"},           {"wmf", "TMetafile"},        {"emf", "TMetafile"},
      {"win", "TTargaGraphic"},   {"vst", "TTargaGraphic"},    {"vda", "TTargaGraphic"},
      {"tga", "TTargaGraphic"},   {"icb", "TTargaGraphic"},    {"pcx", "TPCXGraphic"},
      {"pcc", "TPCXGraphic"},     {"scr", "TPCXGraphic"},      {"ppm", "TPPMGraphic"},
      {"pgm", "TPPMGraphic"},     {"pbm", "TPPMGraphic"},      {"sgi", "TSGIGraphic"},
      {"rgba", "TSGIGraphic"},    {"rgb", "TSGIGraphic"},      {"bw", "TSGIGraphic"},
      {"psd", "TPSDGraphic"},     {"pdd", "TPSDGraphic"},      {"tiff", "TTIFFGraphic"},
      {"tif", "TTIFFGraphic"},    {"fax", "TTIFFGraphic"},     {"psp", "TPSPGraphic"},
      {"cut", "TCUTGraphic"},     {"cel", "TAutodeskGraphic"}, {"pic", "TAutodeskGraphic"},
      {"rpf", "TRLAGraphic"},     {"rla", "TRLAGraphic"},      {"pcd", "TPCDGraphic"},
      {"eps", "TEPSGraphic"},
  };
  for (const auto& [ext, name] : winners) {
    const GraphicClass* c = PictureFormats().FindExtension(ext);
    ASSERT_NE(c, nullptr) << ext;
    EXPECT_EQ(c->Name(), name) << ext;
  }
  // Case does not matter; cur and ani (offered by the open dialog) are claimed by nobody.
  EXPECT_EQ(PictureFormats().FindExtension("GIF"), &TGIFImage::StaticClass());
  EXPECT_EQ(PictureFormats().FindExtension("cur"), nullptr);
  EXPECT_EQ(PictureFormats().FindExtension("ani"), nullptr);
  EXPECT_EQ(PictureFormats().Entries().size(), 51u);
}

TEST(FormatTable, FilterTextListsRegistrationsLastFirst) {
  const std::string text = PictureFilterText();
  EXPECT_EQ(text.rfind("All (*.gif;*.jpc;*.j2k;*.jp2;*.png;*.png;*.psp;*.cut;*.gif;*.pcd;", 0), 0u) << text;
  // After the two "All" parts come the single entries, the last registration first.
  const std::string masks = text.substr(5, text.find(')') - 5);
  const std::string after_all = text.substr(text.find('|', text.find('|') + 1) + 1);
  EXPECT_EQ(after_all.rfind("GIF Image (*.gif)|*.gif|JPEG 2000 Image (*.jpc)|*.jpc|", 0), 0u);
  EXPECT_NE(
      after_all.find("|Portable Network Graphics (*.png)|*.png|Portable network graphic images (*.png)|"),
      std::string::npos);
  EXPECT_NE(after_all.find("|Macintosh TIFF images (*.tiff)|*.tiff|"), std::string::npos);
  EXPECT_NE(after_all.find("|Truevision images (*.icb)|*.icb|Truevision images (*.tga)|*.tga|"),
            std::string::npos);
  EXPECT_NE(after_all.find("|Windows enhanced meta files (*.emf)|*.emf|Windows metafiles (*.wmf)|*.wmf|"),
            std::string::npos);
  const std::string tail =
      "JPEG Image File (*.jpg)|*.jpg|JPEG Image File (*.jpeg)|*.jpeg|Bitmaps (*.bmp)|*.bmp|"
      "Icons (*.ico)|*.ico|Enhanced Metafiles (*.emf)|*.emf|Metafiles (*.wmf)|*.wmf";
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
  // Every registration appears once in the masks, in reverse order.
  const auto& entries = PictureFormats().Entries();
  std::string expected_masks;
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
    if (!expected_masks.empty()) expected_masks += ';';
    expected_masks += "*." + it->extension;
  }
  EXPECT_EQ(masks, expected_masks);
}

TEST(PictureFormatList, FindBuildAndUnregister) {
  TPictureFormatList list;
  EXPECT_EQ(list.BuildFilterText(TGraphic::StaticClass()), "");
  list.Register("BMP", "Bitmaps", TBitmap::StaticClass());
  // One entry: its pair alone, no "All" entry; the extension is stored lower-cased.
  EXPECT_EQ(list.BuildFilterText(TGraphic::StaticClass()), "Bitmaps (*.bmp)|*.bmp");
  list.Register("bmp", "Derived", TDerivedBitmap::StaticClass());
  list.Register("", "Nothing", TBitmap::StaticClass());
  EXPECT_EQ(list.FindExtension("Bmp"), &TDerivedBitmap::StaticClass());  // the last registration wins
  EXPECT_EQ(list.BuildFilterText(TGraphic::StaticClass()),
            "All (*.bmp;*.bmp)|*.bmp;*.bmp|Derived (*.bmp)|*.bmp|Bitmaps (*.bmp)|*.bmp");
  EXPECT_EQ(list.BuildFilterText(TDerivedBitmap::StaticClass()), "Derived (*.bmp)|*.bmp");
  list.Unregister(TBitmap::StaticClass());  // takes the derived class's entries too
  EXPECT_TRUE(list.Entries().empty());
}

TEST(FileFormatList, RegistrationRules) {
  TPictureFormatList container;
  TFileFormatList list(container);
  list.Register("tif", "TIFF images", "PC TIF images", FormatKinds::kRaster, false, TBitmap::StaticClass());
  try {
    list.Register("TIF", "", "", FormatKinds::kRaster, false, TBitmap::StaticClass());
    FAIL() << "a second registration must raise";
  } catch (const EInvalidGraphic& e) {
    EXPECT_STREQ(e.what(), "Attempt to register TIF twice.");
  }
  list.Register("rle", "", "", FormatKinds::kRaster, false, TBitmap::StaticClass());
  // An empty individual description takes the class's common description.
  EXPECT_EQ(container.Entries().back().description, "TIFF images");
  EXPECT_EQ(list.FindExtension("RLE"), 1);
  EXPECT_EQ(list.FindExtension(""), -1);
  // Replacing moves the extension to the new class; the old class stays while it has entries.
  list.Register("rle", "Derived images", "", FormatKinds::kRaster, true, TDerivedBitmap::StaticClass());
  EXPECT_EQ(list.Classes().size(), 2u);
  EXPECT_EQ(container.FindExtension("rle"), &TDerivedBitmap::StaticClass());
  list.Unregister("rle", TDerivedBitmap::StaticClass());
  EXPECT_EQ(list.FindClass(TDerivedBitmap::StaticClass()), -1);
  EXPECT_EQ(container.FindExtension("tif"), &TBitmap::StaticClass());
  list.Unregister("", TBitmap::StaticClass());
  EXPECT_TRUE(list.Extensions().empty());
  EXPECT_TRUE(container.Entries().empty());
}

TEST(FileFormatList, UnregisteringRleAndDibKeepsBmp) {
  TPictureFormatList container;
  {
    TFileFormatList list(container);
    for (const char* ext : {"bmp", "rle", "dib"}) {
      list.Register(ext, "Windows bitmaps", "", FormatKinds::kRaster, false, TBitmap::StaticClass());
    }
    list.Unregister("rle", TBitmap::StaticClass());
    list.Unregister("dib", TBitmap::StaticClass());
    EXPECT_EQ(container.FindExtension("bmp"), &TBitmap::StaticClass());
    EXPECT_EQ(list.Classes().front()->count, 1);
  }
  // Freeing the list unregisters what is left.
  EXPECT_EQ(container.FindExtension("bmp"), nullptr);
}

TEST(LoadPictureFile, UnknownExtensionsAreNamed) {
  for (const auto& [path, ext] : std::map<std::string, std::string>{
           {"/tmp/x.cur", "cur"}, {"/tmp/x.ani", "ani"}, {"/tmp/dir.d/noext", ""}, {"/tmp/a.TXT", "TXT"}}) {
    try {
      LoadPictureFile(path);
      FAIL() << path;
    } catch (const EInvalidGraphic& e) {
      EXPECT_EQ(std::string(e.what()), "Unknown picture file extension (." + ext + ")");
    }
  }
}

TEST(ImportGraphic, FailedReadPropertiesLeavesAResetRecord) {
  class TProbe : public TImportGraphic {
   public:
    const GraphicClass& Class() const override { return TImportGraphic::StaticClass(); }
    void LoadFromStream(TStream&) override {}
  } probe;
  TMemoryStream empty;
  EXPECT_FALSE(probe.ReadProperties(empty, 0));
  EXPECT_EQ(probe.ImageProperties().FileGamma, 1.0f);
  EXPECT_EQ(probe.ImageProperties().Width, 0u);
  EXPECT_FALSE(probe.RecognizesStream(empty));
}

}  // namespace
}  // namespace qel
