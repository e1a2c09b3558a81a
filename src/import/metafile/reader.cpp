#include "import/metafile/reader.h"

#include "imaging/stream.h"
#include "import/metafile/canvas.h"
#include "import/metafile/dc.h"
#include "import/metafile/emf_player.h"
#include "import/metafile/wmf_player.h"

namespace qel {

namespace {

// Work allowed for one playback: a fixed allowance plus a number of writes per pixel of
// the picture. A file that asks for more is refused rather than left to run for minutes.
constexpr std::uint64_t kBaseWork = std::uint64_t(1) << 30;
constexpr std::uint64_t kWorkPerPixel = 32;

}  // namespace

const GraphicClass& TMetafile::StaticClass() {
  static const GraphicClass cls("TMetafile", &TGraphic::StaticClass(), &MakeGraphic<TMetafile>);
  return cls;
}

void TMetafile::LoadFromStream(TStream& stream) {
  std::vector<std::uint8_t> data = stream.ReadToEnd();
  MetafileHeader header = ReadMetafileHeader(data);
  data.resize(header.data_size);
  // Nothing is kept until the whole file has been checked.
  TMetafile checked;
  checked.data_ = std::move(data);
  checked.header_ = header;
  // A playback that only watches the bottom-left pixel checks every record and tells
  // whether that pixel is drawn.
  MetafileCanvas probe(TRect{0, header.height - 1, 1, header.height},
                       header.kind == MetafileKind::kEmf ? "EMF" : "WMF");
  checked.Play(probe, Affine());
  data_ = std::move(checked.data_);
  header_ = header;
  transparent_ = !probe.Touched();
}

void TMetafile::Play(MetafileCanvas& canvas, const Affine& offset) const {
  DeviceSetup setup = header_.setup;
  setup.device_to_target = setup.device_to_target.Then(offset);
  MetafileDC dc(canvas, setup);
  if (header_.kind == MetafileKind::kEmf) {
    PlayEmf(data_, header_.object_count, dc);
  } else {
    PlayWmf(data_, header_.first_record, header_.object_count, dc);
  }
}

void TMetafile::Draw(Picture& target, int x, int y) const {
  if (Empty() || target.Empty()) return;
  const std::uint64_t pixels = std::uint64_t(header_.width) * std::uint64_t(header_.height);
  const TRect area{x, y, int(std::min<std::int64_t>(std::int64_t(x) + header_.width, target.Width())),
                   int(std::min<std::int64_t>(std::int64_t(y) + header_.height, target.Height()))};
  MetafileCanvas canvas(target, area, kBaseWork + kWorkPerPixel * pixels, Enhanced() ? "EMF" : "WMF");
  Play(canvas, Affine::Translation(x, y));
}

}  // namespace qel
