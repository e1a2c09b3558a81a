#include "app/open_filter.h"

#include <array>
#include <string_view>

#include "imaging/picture_container.h"

namespace qel {

namespace {

struct OpenFilterEntry {
  std::string_view description;
  std::string_view pattern;
};

constexpr auto kOpenFilterEntries = std::to_array<OpenFilterEntry>({
    {"CompuServe GIF Image (*.gif)", "*.gif"},
    {"PCX Image (*.pcx)", "*.pcx"},
    {"Cursor files (*.cur)", "*.cur"},
    {"CompuServe GIF Image (*.gif)", "*.gif"},
    {"ANI Image (*.ani)", "*.ani"},
    {"Portable Network Graphics (LMD) (*.png)", "*.png"},
    {"GIF Image (*.gif)", "*.gif"},
    {"Portable Network Graphics (*.png)", "*.png"},
    {"Portable network graphic images (*.png)", "*.png"},
    {"Paintshop Pro images (*.psp)", "*.psp"},
    {"Dr. Halo images (*.cut)", "*.cut"},
    {"CompuServe images (*.gif)", "*.gif"},
    {"Kodak Photo-CD images (*.pcd)", "*.pcd"},
    {"Autodesk images (*.pic)", "*.pic"},
    {"Autodesk images (*.cel)", "*.cel"},
    {"Portable bitmap images (*.pbm)", "*.pbm"},
    {"Portable gray map images (*.pgm)", "*.pgm"},
    {"Portable pixel map images (*.ppm)", "*.ppm"},
    {"Photoshop images (*.pdd)", "*.pdd"},
    {"Photoshop images (*.psd)", "*.psd"},
    {"SGI black/white images (*.bw)", "*.bw"},
    {"SGI true color images (*.rgb)", "*.rgb"},
    {"SGI true color images with alpha (*.rgba)", "*.rgba"},
    {"SGI true color images (*.sgi)", "*.sgi"},
    {"Alias/Wavefront images (*.rla)", "*.rla"},
    {"Alias/Wavefront images (*.rpf)", "*.rpf"},
    {"Word 5.x screen capture images (*.scr)", "*.scr"},
    {"ZSoft Paintbrush images (*.pcc)", "*.pcc"},
    {"ZSoft Paintbrush images (*.pcx)", "*.pcx"},
    {"Encapsulated Postscript images (*.eps)", "*.eps"},
    {"GFI fax images (*.fax)", "*.fax"},
    {"PC TIF images (*.tif)", "*.tif"},
    {"Macintosh TIFF images (*.tiff)", "*.tiff"},
    {"Truevision images (*.icb)", "*.icb"},
    {"Truevision images (*.tga)", "*.tga"},
    {"Truevision images (*.vda)", "*.vda"},
    {"Truevision images (*.vst)", "*.vst"},
    {"Truevision images (*.win)", "*.win"},
    {"Device independant Windows bitmaps (*.dib)", "*.dib"},
    {"Run length encoded Windows bitmaps (*.rle)", "*.rle"},
    {"JPEG images (*.jpeg)", "*.jpeg"},
    {"JPE images (*.jpe)", "*.jpe"},
    {"JPG images (*.jpg)", "*.jpg"},
    {"JFIF images (*.jfif)", "*.jfif"},
    {"Windows enhanced meta files (*.emf)", "*.emf"},
    {"Windows metafiles (*.wmf)", "*.wmf"},
    {"Windows icons (*.ico)", "*.ico"},
    {"Windows bitmaps (*.bmp)", "*.bmp"},
    {"Portable network graphics (AlphaControls) (*.png)", "*.png"},
    {"Portable Network Graphics (*.png)", "*.png"},
    {"JPEG Image File (*.jpg)", "*.jpg"},
    {"JPEG Image File (*.jpeg)", "*.jpeg"},
    {"Bitmaps (*.bmp)", "*.bmp"},
    {"Icons (*.ico)", "*.ico"},
    {"Enhanced Metafiles (*.emf)", "*.emf"},
    {"Metafiles (*.wmf)", "*.wmf"},
});

std::string BuildOpenFilterText() {
  std::string all_patterns;
  std::string singles;
  for (const OpenFilterEntry& entry : kOpenFilterEntries) {
    if (!all_patterns.empty()) all_patterns += ';';
    all_patterns += entry.pattern;
    singles += '|';
    singles += entry.description;
    singles += '|';
    singles += entry.pattern;
  }
  return "All (" + all_patterns + ")|" + all_patterns + singles;
}

// After the fixed entries: one entry over the formats read beyond the format table (the
// added list, which start-up fills from the Added rows of src/import/formats.def), then
// one for each of them.
std::string BuildAddedFormatsText() {
  const TPictureFormatList& added = AddedPictureFormats();
  if (added.Entries().empty()) return {};
  std::string patterns;
  for (const TPictureFormatList::Entry& entry : added.Entries()) {
    if (!patterns.empty()) patterns += ';';
    patterns += "*." + entry.extension;
  }
  return "|Newer picture formats (" + patterns + ")|" + patterns + "|" +
         added.BuildEntryText(TGraphic::StaticClass());
}

}  // namespace

std::string OpenPictureFilter() {
  return BuildOpenFilterText() + BuildAddedFormatsText();
}

}  // namespace qel
