#include "import/pcd/reader.h"

#include <algorithm>
#include <array>
#include <vector>

#include "imaging/errors.h"
#include "imaging/stream.h"
#include "import/framework/messages.h"
#include "import/pcd/layout.h"
#include "import/pcd/upsample.h"
#include "import/pcd/ycc.h"

namespace qel {

namespace {

constexpr std::uint32_t kBaseWidth = kPcdSmallestWidth << kPcdBaseResolution;
constexpr std::uint32_t kBaseHeight = kPcdSmallestHeight << kPcdBaseResolution;
constexpr const char* kShortName = "PCD";

// Reads the header sectors; false when the stream is too short for them.
bool ReadHeader(TStream& stream, PcdHeader& header) {
  std::array<std::uint8_t, kPcdHeaderSize> bytes;
  if (stream.Read(bytes.data(), bytes.size()) != bytes.size()) return false;
  header = ParsePcdHeader(bytes);
  return true;
}

}  // namespace

const GraphicClass& TPCDGraphic::StaticClass() {
  static const GraphicClass cls("TPCDGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TPCDGraphic>);
  return cls;
}

bool TPCDGraphic::RecognizesStream(TStream& stream) const {
  const std::uint64_t start = stream.Position();
  if (stream.Remaining() <= kPcdHeaderSize) return false;
  PcdHeader h;
  const bool read = ReadHeader(stream, h);
  stream.SetPosition(start);
  return read && h.IsPhotoCD();
}

bool TPCDGraphic::ReadProperties(TStream& stream, int image_index) {
  TImportGraphic::ReadProperties(stream, image_index);
  PcdHeader h;
  if (!ReadHeader(stream, h) || !h.IsPhotoCD()) return false;
  const int resolution = h.is_overview ? 0 : std::clamp(image_index, 0, kPcdLargestResolution);
  TImageProperties& p = Properties();
  p.IsOverview = h.is_overview;
  p.SubImageCount = h.subimage_count;
  p.Rotation = std::uint8_t(h.rotation);
  p.Width = kPcdSmallestWidth << resolution;
  p.Height = kPcdSmallestHeight << resolution;
  if (h.IsPortrait()) std::swap(p.Width, p.Height);
  p.ColorScheme = ColorScheme::schPhotoYCC;
  p.BitsPerSample = 8;
  p.SamplesPerPixel = 3;
  p.BitsPerPixel = 24;
  p.Compression = resolution < 3 ? CompressionType::cmpNone : CompressionType::cmpPCDHuffman;
  return true;
}

void TPCDGraphic::LoadFromStream(TStream& stream) {
  ReleaseHandle();
  base_position_ = stream.Position();
  if (!ReadProperties(stream, kPcdBaseResolution)) GraphicError(msg::kInvalidImage, {kShortName});
  StartProgress(msg::kPreparing);
  const TImageProperties& p = ImageProperties();

  // The Base image whatever the properties said: three planes of 768 x 512, the
  // chroma filled to a quarter before upsampling.
  const std::size_t width = kBaseWidth;
  const std::size_t height = kBaseHeight;
  const std::uint64_t start =
      base_position_ + std::uint64_t(PcdImageSector(kPcdBaseResolution, p.IsOverview)) * kPcdSectorSize;
  if (start + width * height * 3 / 2 > stream.Size()) throw EReadError();
  stream.SetPosition(start);

  const PhotoYccConverter ycc;
  SetPixelFormat(TPixelFormat::pf24bit);

  std::vector<std::uint8_t> luma(width * height), chroma1(width * height), chroma2(width * height);
  Progress(ProgressStage::kRunning, 0, progress_rect_, msg::kLoadingData);
  for (std::size_t pair = 0; pair < height / 2; ++pair) {
    stream.ReadBuffer(&luma[2 * pair * width], 2 * width);
    stream.ReadBuffer(&chroma1[pair * width], width / 2);
    stream.ReadBuffer(&chroma2[pair * width], width / 2);
    RowProgress(std::uint32_t(2 * pair + 2), std::uint32_t(height), msg::kLoadingData);
  }
  EndProgress(msg::kLoadingData);

  StartProgress(msg::kUpsampling);
  UpsampleChroma(chroma1, width, height);
  UpsampleChroma(chroma2, width, height);
  EndProgress(msg::kUpsampling);

  const PcdRotation rotation = PcdRotation(p.Rotation);
  const bool portrait = rotation == PcdRotation::kPortraitLeft || rotation == PcdRotation::kPortraitRight;
  SetSize(int(portrait ? height : width), int(portrait ? width : height));
  StartProgress(msg::kTransfering);
  std::vector<std::uint8_t> turned(width * 3);
  for (std::size_t i = 0; i < height; ++i) {
    const std::size_t row = i * width;
    if (!portrait) {
      ycc.ConvertRow(&luma[row], &chroma1[row], &chroma2[row], ScanLine(int(i)), width);
    } else {
      ycc.ConvertRow(&luma[row], &chroma1[row], &chroma2[row], turned.data(), width);
      for (std::size_t x = 0; x < width; ++x) {
        // Source pixel x of row i: column i of row 767 - x, or column 511 - i of row x.
        const bool left = rotation == PcdRotation::kPortraitLeft;
        std::uint8_t* out = ScanLine(int(left ? width - 1 - x : x)) + 3 * (left ? i : height - 1 - i);
        std::copy_n(&turned[3 * x], 3, out);
      }
    }
    RowProgress(std::uint32_t(i + 1), std::uint32_t(height), msg::kTransfering);
  }
  EndProgress(msg::kTransfering);
}

}  // namespace qel
