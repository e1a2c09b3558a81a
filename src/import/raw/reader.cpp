#include "import/raw/reader.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#include "imaging/picture.h"
#include "import/raw/handles.h"

namespace qel {

namespace {

// The stages LibRaw reports are the bits 0 to 19 of its progress value, in order.
constexpr int kStageCount = 20;

// Opens the file and identifies the camera; false when LibRaw does not know it.
bool Open(const raw::Library& library, const raw::Processor& processor, std::span<const std::uint8_t> file) {
  libraw_data_t* data = processor.Get();
  if (!data || file.empty()) return false;
  // LibRaw reads the buffer only; its interface takes it without const.
  void* buffer = const_cast<std::uint8_t*>(file.data());
  return library.libraw_open_buffer(data, buffer, file.size()) == LIBRAW_SUCCESS;
}

// The picture's size as it will show (a quarter turn swaps width and height).
TLibraryGraphic::Header HeaderOf(const libraw_data_t& data) {
  TLibraryGraphic::Header header;
  header.width = data.sizes.width;
  header.height = data.sizes.height;
  if (data.sizes.flip & 4) std::swap(header.width, header.height);
  header.bits_per_sample = 16;
  return header;
}

}  // namespace

const GraphicClass& TRawGraphic::StaticClass() {
  static const GraphicClass cls("TRawGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TRawGraphic>);
  return cls;
}

bool TRawGraphic::HasSignature(std::span<const std::uint8_t> head) const {
  if (head.size() < 8) return false;
  const auto starts = [&](const char* text, std::size_t length) {
    return std::memcmp(head.data(), text, length) == 0;
  };
  return starts("II*\0", 4) || starts("MM\0*", 4) || starts("IIRO", 4) || starts("IIRS", 4) ||
         starts("IIU\0", 4) || (head.size() >= 15 && starts("FUJIFILMCCD-RAW", 15));
}

std::optional<TLibraryGraphic::Header> TRawGraphic::ReadHeader(std::span<const std::uint8_t> file) const {
  const raw::Library library;
  if (!library.Ok()) return std::nullopt;
  const raw::Processor processor(library);
  if (!Open(library, processor, file)) return std::nullopt;
  return HeaderOf(*processor.Get());
}

int TRawGraphic::OnStage(void* data, enum LibRaw_progress stage, int, int) {
  auto* graphic = static_cast<TRawGraphic*>(data);
  // Stage bit n done: n + 1 of the stages; the start (no bit) none.
  const unsigned bits = unsigned(stage);
  const int done = bits == 0 ? 0 : std::min(kStageCount, std::countr_zero(bits) + 1);
  try {
    graphic->Progress(ProgressStage::kRunning, done * 100 / kStageCount, graphic->progress_rect_,
                      kProgressText);
  } catch (...) {
    return 1;  // an observer's failure stops the decoding instead of crossing LibRaw
  }
  return 0;
}

void TRawGraphic::Decode(std::span<const std::uint8_t> file) {
  const raw::Library library;
  if (!library.Ok()) LibraryMissing(library.shared);
  const raw::Processor processor(library);
  if (!Open(library, processor, file)) InvalidFile();
  libraw_data_t* data = processor.Get();
  CheckPictureSize(data->sizes.raw_width, data->sizes.raw_height);
  PrepareBitmap(HeaderOf(*data));
  data->params.use_camera_wb = 1;
  data->params.output_color = 1;  // sRGB
  data->params.output_bps = 8;
  library.libraw_set_progress_handler(data, &TRawGraphic::OnStage, this);
  if (library.libraw_unpack(data) != LIBRAW_SUCCESS || library.libraw_dcraw_process(data) != LIBRAW_SUCCESS)
    DamagedData();
  const raw::MemImage image(library, data);
  const libraw_processed_image_t* developed = image.Get();
  if (!developed || developed->type != LIBRAW_IMAGE_BITMAP || developed->bits != 8 ||
      (developed->colors != 3 && developed->colors != 1))
    DamagedData();
  // Cameras with non-square pixels or a turned sensor come out of another size than
  // the header said.
  if (developed->width != Width() || developed->height != Height()) {
    Header header = HeaderOf(*data);
    header.width = developed->width;
    header.height = developed->height;
    PrepareBitmap(header);
  }
  const std::size_t row_bytes = std::size_t(Width()) * developed->colors;
  if (developed->data_size < row_bytes * std::size_t(Height())) DamagedData();
  for (int y = 0; y < Height(); ++y) {
    const std::uint8_t* in = developed->data + row_bytes * std::size_t(y);
    std::uint8_t* out = ScanLine(y);
    if (developed->colors == 3) {
      SwapRedAndBlue(in, out, Width(), 3);
    } else {
      for (int x = 0; x < Width(); ++x) out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = in[x];
    }
  }
  RowsDone(Height());
}

}  // namespace qel
