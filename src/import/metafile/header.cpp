#include "import/metafile/header.h"

#include <cmath>
#include <cstdlib>

#include "imaging/picture.h"
#include "import/framework/coded_size.h"
#include "import/metafile/records.h"
#include "import/metafile/wmf_player.h"

namespace qel {

namespace {

constexpr std::size_t kPlaceableHeaderSize = 22;
constexpr std::size_t kWmfHeaderSize = 18;
constexpr std::size_t kEmfHeaderBaseSize = 88;
constexpr std::size_t kEmfHeaderWithMicrometres = 108;
// The reference device assumed when an enhanced metafile does not describe its own: a
// 96-dpi screen of 1920 x 1440 pixels, 508 x 381 mm.
constexpr double kDefaultDevicePixelsX = 1920, kDefaultDevicePixelsY = 1440;
constexpr double kDefaultDeviceHundredthsX = 50800, kDefaultDeviceHundredthsY = 38100;

// A picture drawn from a few records may be large, but not without bound: beyond the
// size always allowed, a metafile gets this many pixels for each of its bytes.
constexpr std::uint64_t kMetafilePixelsPerByte = 1 << 16;

void CheckSize(MetafileHeader& h, std::int64_t width, std::int64_t height, std::string_view format,
               std::uint64_t file_size) {
  if (width <= 0 || height <= 0) ThrowInvalidMetafile(format);
  CheckCodedSize(format, width, height, file_size, kMetafilePixelsPerByte);
  h.width = int(width);
  h.height = int(height);
}

// a x b / c rounded to the nearest, halves away from zero.
std::int64_t MulDivRound(std::int64_t a, std::int64_t b, std::int64_t c) {
  const std::int64_t p = a * b;
  const std::int64_t q = (std::abs(p) + c / 2) / c;
  return p < 0 ? -q : q;
}

// The standard 18-byte header of a Windows metafile at offset; fills the object count.
void ReadWmfHeader(MetafileRecordReader& r, MetafileHeader& h) {
  const std::uint16_t type = r.U16();
  const std::uint16_t header_words = r.U16();
  if ((type != 1 && type != 2) || header_words != kWmfHeaderSize / 2) r.Fail();
  r.U16();  // version
  r.U32();  // size in words
  h.object_count = r.U16();
  r.U32();  // largest record
  r.U16();  // unused
  h.first_record = r.Position();
}

MetafileHeader ReadPlaceable(std::span<const std::uint8_t> data) {
  MetafileRecordReader r(data, "WMF");
  MetafileHeader h;
  h.kind = MetafileKind::kPlaceableWmf;
  r.Seek(6);
  const std::int16_t left = r.I16(), top = r.I16(), right = r.I16(), bottom = r.I16();
  const std::uint16_t inch = r.U16();
  if (inch == 0) r.Fail();
  r.Seek(kPlaceableHeaderSize);
  ReadWmfHeader(r, h);
  const std::int64_t w = std::int64_t(right) - left, hgt = std::int64_t(bottom) - top;
  CheckSize(h, MulDivRound(std::abs(w), kMetafileDpi, inch), MulDivRound(std::abs(hgt), kMetafileDpi, inch),
            "WMF", data.size());
  h.data_size = data.size();
  h.setup.map_mode = gdi::kMmAnisotropic;
  h.setup.window_org = {double(left), double(top)};
  h.setup.window_ext = {double(w), double(hgt)};
  h.setup.viewport_ext = {double(h.width), double(h.height)};
  return h;
}

MetafileHeader ReadPlain(std::span<const std::uint8_t> data) {
  MetafileRecordReader r(data, "WMF");
  MetafileHeader h;
  h.kind = MetafileKind::kPlainWmf;
  ReadWmfHeader(r, h);
  // The picture is as large as the first window extent the records set.
  WmfRecordWalker walker(data, h.first_record);
  WmfRecord record;
  while (walker.Next(record)) {
    if (record.function != wmf::kSetWindowExt) continue;
    MetafileRecordReader params(record.params, "WMF");
    const std::int16_t y = params.I16(), x = params.I16();
    CheckSize(h, std::abs(int(x)), std::abs(int(y)), "WMF", data.size());
    h.data_size = data.size();
    h.setup.map_mode = gdi::kMmAnisotropic;
    h.setup.window_ext = {double(x), double(y)};
    h.setup.viewport_ext = {double(h.width), double(h.height)};
    return h;
  }
  ThrowInvalidMetafile("WMF");
}

MetafileHeader ReadEmf(std::span<const std::uint8_t> data) {
  MetafileRecordReader r(data, "EMF");
  MetafileHeader h;
  h.kind = MetafileKind::kEmf;
  r.U32();  // type
  const std::uint32_t header_size = r.U32();
  if (header_size < kEmfHeaderBaseSize || header_size > data.size()) r.Fail();
  const std::int32_t bl = r.I32(), bt = r.I32(), br = r.I32(), bb = r.I32();
  const std::int32_t fl = r.I32(), ft = r.I32(), fr = r.I32(), fb = r.I32();
  r.U32();  // signature
  r.U32();  // version
  const std::uint32_t total = r.U32();
  r.U32();  // record count
  h.object_count = r.U16();
  r.Seek(72);
  const double device_x = r.I32(), device_y = r.I32();
  const double mm_x = r.I32(), mm_y = r.I32();
  double hundredths_x = mm_x * 100, hundredths_y = mm_y * 100;
  if (header_size >= kEmfHeaderWithMicrometres) {
    r.Seek(100);
    const double um_x = r.I32(), um_y = r.I32();
    if (um_x > 0 && um_y > 0) hundredths_x = um_x / 10, hundredths_y = um_y / 10;
  }
  DeviceSetup& s = h.setup;
  double px_x = device_x, px_y = device_y;
  if (!(px_x > 0 && px_y > 0 && hundredths_x > 0 && hundredths_y > 0)) {
    px_x = kDefaultDevicePixelsX, px_y = kDefaultDevicePixelsY;
    hundredths_x = kDefaultDeviceHundredthsX, hundredths_y = kDefaultDeviceHundredthsY;
  }
  s.pixels_per_mm_x = px_x * 100 / hundredths_x;
  s.pixels_per_mm_y = px_y * 100 / hundredths_y;
  const double frame_w = double(fr) - fl, frame_h = double(fb) - ft;
  if (frame_w > 0 && frame_h > 0) {
    // The frame, in hundredths of a millimetre, shown in pixels of the reference device.
    const double w = frame_w * px_x / hundredths_x, hgt = frame_h * px_y / hundredths_y;
    CheckSize(h, std::llround(std::min(w, 1e12)), std::llround(std::min(hgt, 1e12)), "EMF", data.size());
    const double left = fl * px_x / hundredths_x, top = ft * px_y / hundredths_y;
    s.device_to_target = Affine::Translation(-left, -top).Then(Affine::Scaling(h.width / w, h.height / hgt));
  } else {
    // No usable frame: the bounds, in device pixels, inclusive.
    CheckSize(h, std::int64_t(br) - bl + 1, std::int64_t(bb) - bt + 1, "EMF", data.size());
    s.device_to_target = Affine::Translation(-bl, -bt);
  }
  h.data_size = total >= header_size && total < data.size() ? total : data.size();
  return h;
}

}  // namespace

MetafileHeader ReadMetafileHeader(std::span<const std::uint8_t> data) {
  if (data.size() >= 4 && LoadU32(data.data()) == kPlaceableKey) return ReadPlaceable(data);
  if (data.size() >= 44 && LoadU32(data.data()) == 1 && LoadU32(data.data() + 40) == kEmfSignature) {
    return ReadEmf(data);
  }
  if (data.size() >= kWmfHeaderSize) return ReadPlain(data);
  ThrowInvalidMetafile("WMF/EMF");
}

}  // namespace qel
