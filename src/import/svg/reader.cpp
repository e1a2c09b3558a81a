#include "import/svg/reader.h"

#include <cmath>
#include <cstring>
#include <string_view>

#include "import/framework/messages.h"
#include "import/svg/handles.h"

namespace qel {

namespace {

// The size the drawing is rendered at, and the bitmap's (whole pixels, rounded up).
struct DrawingSize {
  double width, height;
  TLibraryGraphic::Header header;
};

// nullopt when the drawing gives no usable size.
std::optional<DrawingSize> SizeOf(const svg::Library& library, RsvgHandle* handle) {
  // Physical units at 96 pixels an inch, as CSS and rsvg-convert count them.
  library.rsvg_handle_set_dpi(handle, 96);
  double width = 0, height = 0;
  if (!library.rsvg_handle_get_intrinsic_size_in_pixels(handle, &width, &height)) {
    gboolean has_width = FALSE, has_height = FALSE, has_viewbox = FALSE;
    RsvgLength w{}, h{};
    RsvgRectangle viewbox{};
    library.rsvg_handle_get_intrinsic_dimensions(handle, &has_width, &w, &has_height, &h, &has_viewbox,
                                                 &viewbox);
    width = height = TSVGGraphic::kUnsizedSide;
    if (has_viewbox && viewbox.width > 0 && viewbox.height > 0) {
      if (viewbox.width >= viewbox.height) {
        height = TSVGGraphic::kUnsizedSide * viewbox.height / viewbox.width;
      } else {
        width = TSVGGraphic::kUnsizedSide * viewbox.width / viewbox.height;
      }
    }
  }
  if (!(width > 0 && height > 0 && width < 1e9 && height < 1e9)) return std::nullopt;
  TLibraryGraphic::Header header;
  header.width = std::uint32_t(std::max(1.0, std::ceil(width)));
  header.height = std::uint32_t(std::max(1.0, std::ceil(height)));
  header.alpha = true;
  header.alpha_kind = AlphaKind::kAssociated;  // cairo's pixels are premultiplied
  return DrawingSize{width, height, header};
}

}  // namespace

const GraphicClass& TSVGGraphic::StaticClass() {
  static const GraphicClass cls("TSVGGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TSVGGraphic>);
  return cls;
}

bool TSVGGraphic::HasSignature(std::span<const std::uint8_t> head) const {
  std::string_view text(reinterpret_cast<const char*>(head.data()), head.size());
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  while (!text.empty() &&
         (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' || text.front() == '\n'))
    text.remove_prefix(1);
  return text.starts_with("<svg") || text.starts_with("<?xml") || text.starts_with("<!--") ||
         text.starts_with("<!DOCTYPE svg");
}

std::optional<TLibraryGraphic::Header> TSVGGraphic::ReadHeader(std::span<const std::uint8_t> file) const {
  const svg::Library library;
  if (!library.Ok()) return std::nullopt;
  const svg::Handle handle(library, file.data(), file.size());
  if (!handle.Get()) return std::nullopt;
  const std::optional<DrawingSize> size = SizeOf(library, handle.Get());
  if (!size) return std::nullopt;
  return size->header;
}

void TSVGGraphic::Decode(std::span<const std::uint8_t> file) {
  const svg::Library library;
  if (!library.Ok()) LibraryMissing(library.shared);
  const svg::Handle handle(library, file.data(), file.size());
  if (!handle.Get()) InvalidFile();
  const std::optional<DrawingSize> size = SizeOf(library, handle.Get());
  if (!size) InvalidFile();
  const Header* header = &size->header;
  if (header->width > std::uint32_t(kLargestSide) || header->height > std::uint32_t(kLargestSide))
    GraphicError(msg::kUnsupportedFeature, {"Drawings larger than 32767 pixels a side are", FormatName()});
  PrepareBitmap(*header);
  // cairo draws premultiplied blue-green-red-alpha rows onto a transparent start.
  for (int y = 0; y < Height(); ++y) std::memset(ScanLine(y), 0, RowSize());
  const svg::Surface surface(library, ScanLine(0), Width(), Height(), int(RowSize()));
  if (!surface.Ok()) DamagedData();
  {
    const svg::Context context(library, surface);
    svg::Error error(library);
    const RsvgRectangle viewport{0, 0, size->width, size->height};
    if (!context.Ok() ||
        !library.rsvg_handle_render_document(handle.Get(), context.Get(), &viewport, error.Out()))
      DamagedData();
  }
  library.cairo_surface_flush(surface.Get());
  RowsDone(Height());
}

}  // namespace qel
