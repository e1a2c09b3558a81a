#include "import/framework/format_registry.h"

#include <mutex>

#include "import/autodesk/reader.h"
#include "import/avif/reader.h"
#include "import/cut/reader.h"
#include "import/eps/reader.h"
#include "import/framework/bitmap.h"
#include "import/gif/giflib_reader.h"
#include "import/gif/reader.h"
#include "import/heif/reader.h"
#include "import/icon/reader.h"
#include "import/jp2/graphic.h"
#include "import/jpeg/reader.h"
#include "import/jxl/reader.h"
#include "import/metafile/reader.h"
#include "import/pcd/reader.h"
#include "import/pcx/reader.h"
#include "import/png/libpng_reader.h"
#include "import/png/reader.h"
#include "import/ppm/reader.h"
#include "import/psd/reader.h"
#include "import/psp/reader.h"
#include "import/raw/reader.h"
#include "import/rla/reader.h"
#include "import/sgi/reader.h"
#include "import/svg/reader.h"
#include "import/targa/graphic.h"
#include "import/tiff/reader.h"
#include "import/webp/reader.h"

namespace qel {

namespace {

using namespace FormatKinds;

struct ImportRow {
  const char* extension;
  const GraphicClass& (*graphic_class)();
  const char* common_description;
  const char* individual_description;
  std::uint8_t kinds;
};

// The import library's start-up registrations, in order.
const ImportRow kImportRows[] = {
    {"bmp", &TBitmap::StaticClass, "Windows bitmaps", "", kRaster},
    {"ico", &TIcon::StaticClass, "Windows icons", "", kRaster},
    {"wmf", &TMetafile::StaticClass, "Windows metafiles", "", kVector},
    {"emf", &TMetafile::StaticClass, "Windows metafiles", "Windows enhanced meta files", kVector},
    {"jfif", &TJPEGImage::StaticClass, "JPG images", "JFIF images", kRaster},
    {"jpg", &TJPEGImage::StaticClass, "", "JPG images", kRaster},
    {"jpe", &TJPEGImage::StaticClass, "", "JPE images", kRaster},
    {"jpeg", &TJPEGImage::StaticClass, "", "JPEG images", kRaster},
    {"rle", &TBitmap::StaticClass, "Windows bitmaps", "Run length encoded Windows bitmaps", kRaster},
    {"dib", &TBitmap::StaticClass, "", "Device independant Windows bitmaps", kRaster},
    {"win", &TTargaGraphic::StaticClass, "Truevision images", "", kRaster},
    {"vst", &TTargaGraphic::StaticClass, "", "", kRaster},
    {"vda", &TTargaGraphic::StaticClass, "", "", kRaster},
    {"tga", &TTargaGraphic::StaticClass, "", "", kRaster},
    {"icb", &TTargaGraphic::StaticClass, "", "", kRaster},
    {"tiff", &TTIFFGraphic::StaticClass, "Tagged image file format images", "Macintosh TIFF images",
     kRaster | kMultiImage},
    {"tif", &TTIFFGraphic::StaticClass, "", "PC TIF images", kRaster | kMultiImage},
    {"fax", &TTIFFGraphic::StaticClass, "", "GFI fax images", kRaster | kMultiImage},
    {"eps", &TEPSGraphic::StaticClass, "Encapsulated Postscript images", "", kRaster},
    {"pcx", &TPCXGraphic::StaticClass, "ZSoft Paintbrush images", "", kRaster},
    {"pcc", &TPCXGraphic::StaticClass, "", "", kRaster},
    {"scr", &TPCXGraphic::StaticClass, "", "Word 5.x screen capture images", kRaster},
    {"rpf", &TRLAGraphic::StaticClass, "Alias/Wavefront images", "", kRaster},
    {"rla", &TRLAGraphic::StaticClass, "", "", kRaster},
    {"sgi", &TSGIGraphic::StaticClass, "SGI images", "SGI true color images", kRaster},
    {"rgba", &TSGIGraphic::StaticClass, "", "SGI true color images with alpha", kRaster},
    {"rgb", &TSGIGraphic::StaticClass, "", "SGI true color images", kRaster},
    {"bw", &TSGIGraphic::StaticClass, "", "SGI black/white images", kRaster},
    {"psd", &TPSDGraphic::StaticClass, "Photoshop images", "", kRaster | kLayered},
    {"pdd", &TPSDGraphic::StaticClass, "", "", kRaster | kLayered},
    {"ppm", &TPPMGraphic::StaticClass, "Portable map images", "Portable pixel map images", kRaster},
    {"pgm", &TPPMGraphic::StaticClass, "", "Portable gray map images", kRaster},
    {"pbm", &TPPMGraphic::StaticClass, "", "Portable bitmap images", kRaster},
    {"cel", &TAutodeskGraphic::StaticClass, "Autodesk images", "", kRaster},
    {"pic", &TAutodeskGraphic::StaticClass, "Autodesk images", "", kRaster},
    {"pcd", &TPCDGraphic::StaticClass, "Kodak Photo-CD images", "", kRaster},
    {"gif", &TGIFGraphic::StaticClass, "CompuServe images", "", kRaster | kMultiImage | kAnimation},
    {"cut", &TCUTGraphic::StaticClass, "Dr. Halo images", "", kRaster},
    {"psp", &TPSPGraphic::StaticClass, "Paintshop Pro images", "", kRaster | kVector},
    {"png", &TPNGGraphic::StaticClass, "Portable network graphic images", "", kRaster},
};

struct AddedRow {
  const char* extension;
  const char* description;
  const GraphicClass& (*graphic_class)();
};

// The formats the table above predates, registered after all of it.
const AddedRow kAddedRows[] = {
    {"webp", "WebP images", &TWebPGraphic::StaticClass},
    {"avif", "AVIF images", &TAVIFGraphic::StaticClass},
    {"heic", "HEIC images", &THEIFGraphic::StaticClass},
    {"heif", "HEIF images", &THEIFGraphic::StaticClass},
    {"jxl", "JPEG XL images", &TJXLGraphic::StaticClass},
    {"cr2", "Canon raw images", &TRawGraphic::StaticClass},
    {"nef", "Nikon raw images", &TRawGraphic::StaticClass},
    {"arw", "Sony raw images", &TRawGraphic::StaticClass},
    {"dng", "Digital negative raw images", &TRawGraphic::StaticClass},
    {"orf", "Olympus raw images", &TRawGraphic::StaticClass},
    {"rw2", "Panasonic raw images", &TRawGraphic::StaticClass},
    {"raf", "Fujifilm raw images", &TRawGraphic::StaticClass},
    {"pef", "Pentax raw images", &TRawGraphic::StaticClass},
    {"svg", "Scalable vector graphics", &TSVGGraphic::StaticClass},
};

void RegisterAll() {
  TPictureFormatList& formats = PictureFormats();
  // The platform's own readers.
  formats.Register("wmf", "Metafiles", TMetafile::StaticClass());
  formats.Register("emf", "Enhanced Metafiles", TMetafile::StaticClass());
  formats.Register("ico", "Icons", TIcon::StaticClass());
  formats.Register("bmp", "Bitmaps", TBitmap::StaticClass());
  // JPEG.
  formats.Register("jpeg", "JPEG Image File", TJPEGImage::StaticClass());
  formats.Register("jpg", "JPEG Image File", TJPEGImage::StaticClass());
  // The import library.
  TFileFormatList& registry = GraphicFormatRegistry();
  for (const ImportRow& row : kImportRows) {
    registry.Register(row.extension, row.common_description, row.individual_description, row.kinds, false,
                      row.graphic_class());
  }
  // PNG, JPEG 2000, GIF.
  formats.Register("png", "Portable Network Graphics", TPNGObject::StaticClass());
  formats.Register("jp2", "JPEG 2000 Image", TJpeg2000Bitmap::StaticClass());
  formats.Register("j2k", "JPEG 2000 Image", TJpeg2000Bitmap::StaticClass());
  formats.Register("jpc", "JPEG 2000 Image", TJpeg2000Bitmap::StaticClass());
  formats.Register("gif", "GIF Image", TGIFImage::StaticClass());
  // The formats the table predates.
  for (const AddedRow& row : kAddedRows)
    AddedPictureFormats().Register(row.extension, row.description, row.graphic_class());
}

}  // namespace

std::unique_ptr<TImportGraphic> CreateImportReader(std::string_view extension) {
  for (const ImportRow& row : kImportRows) {
    if (extension != row.extension) continue;
    std::unique_ptr<TGraphic> graphic = row.graphic_class().Create();
    if (auto* reader = dynamic_cast<TImportGraphic*>(graphic.get())) {
      graphic.release();
      return std::unique_ptr<TImportGraphic>(reader);
    }
    return nullptr;
  }
  return nullptr;
}

TFileFormatList& GraphicFormatRegistry() {
  static TFileFormatList registry(PictureFormats());
  return registry;
}

void RegisterStartupFormats() {
  static std::once_flag once;
  std::call_once(once, RegisterAll);
}

void UnregisterShutdownFormats() {
  AddedPictureFormats().Clear();
  TPictureFormatList& formats = PictureFormats();
  formats.Unregister(TGIFImage::StaticClass());
  formats.Unregister(TJpeg2000Bitmap::StaticClass());
  formats.Unregister(TPNGObject::StaticClass());
  TFileFormatList& registry = GraphicFormatRegistry();
  for (const GraphicClass* c :
       {&TPSPGraphic::StaticClass(), &TPSDGraphic::StaticClass(), &TTargaGraphic::StaticClass(),
        &TTIFFGraphic::StaticClass(), &TEPSGraphic::StaticClass(), &TSGIGraphic::StaticClass(),
        &TPCXGraphic::StaticClass(), &TAutodeskGraphic::StaticClass(), &TPCDGraphic::StaticClass(),
        &TPPMGraphic::StaticClass(), &TCUTGraphic::StaticClass(), &TGIFGraphic::StaticClass(),
        &TRLAGraphic::StaticClass()}) {
    registry.Unregister("", *c);
  }
  registry.Unregister("rle", TBitmap::StaticClass());
  registry.Unregister("dib", TBitmap::StaticClass());
  registry.Unregister("", TPNGGraphic::StaticClass());
  registry.Clear();
  formats.Unregister(TJPEGImage::StaticClass());
}

}  // namespace qel
