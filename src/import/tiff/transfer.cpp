// The TIFF reader's pixel transfer: strips or rows of tiles, read through the decoder,
// laid out as bands of picture rows and converted row by row into the bitmap.
#include <algorithm>
#include <span>

#include "imaging/errors.h"
#include "imaging/stream.h"
#include "import/framework/messages.h"
#include "import/tiff/reader.h"
#include "import/tiff/rows.h"

namespace qel {

namespace {

[[noreturn]] void InvalidImage() {
  throw EInvalidGraphic(FormatMessage(msg::kInvalidImage, {TTIFFGraphic::kFormatName}));
}
[[noreturn]] void DataOutsideFile() {
  throw EReadError(FormatMessage(msg::kStreamReadError, {TTIFFGraphic::kFormatName}));
}

// The number of strips (of one plane) that the rows-per-strip table needs to cover
// height rows; entries of 0 stand for the whole image, the last entry serves the rest.
std::uint64_t StripsNeeded(const std::vector<std::uint32_t>& rows_per_strip, std::uint32_t height) {
  std::uint64_t covered = 0;
  for (std::size_t s = 0; s < rows_per_strip.size(); ++s) {
    covered += rows_per_strip[s] == 0 ? height : rows_per_strip[s];
    if (covered >= height) return s + 1;
  }
  const std::uint64_t last =
      rows_per_strip.empty() || rows_per_strip.back() == 0 ? height : rows_per_strip.back();
  return rows_per_strip.size() + (height - covered + last - 1) / last;
}

// Checks that the data of strip or tile index lies inside the file: unpacked bytes
// when it is stored as it is, its byte count when it is compressed.
void CheckInsideFile(const tiff::StripTable& table, std::size_t index, std::uint64_t base, std::uint64_t size,
                     bool stored, std::uint64_t unpacked) {
  const std::uint64_t start = base + table.offsets[index];
  std::uint64_t length = 0;
  if (stored)
    length = unpacked;
  else if (index < table.byte_counts.size())
    length = table.byte_counts[index];
  if (start > size || length > size - start) DataOutsideFile();
}

}  // namespace

std::uint32_t TTIFFGraphic::RowsOfStrip(std::uint32_t strip, std::uint32_t first_row) const {
  const TImageProperties& p = ImageProperties();
  const std::uint32_t entry = p.RowsPerStrip[std::min<std::size_t>(strip, p.RowsPerStrip.size() - 1)];
  return std::min(entry == 0 ? p.Height : entry, p.Height - first_row);
}

std::uint64_t TTIFFGraphic::StripBytes(const RowPlan& plan, std::uint32_t rows) const {
  if (plan.Subsampled())
    return tiff::YCbCrUnits(ImageProperties().Width, plan.ycbcr_h, plan.ycbcr_v).BytesForRows(rows);
  return std::uint64_t(rows) * plan.line_bytes;
}

tiff::StripTable TTIFFGraphic::ReadStripTable(TStream& stream, const RowPlan& plan) {
  TImageProperties& p = Properties();
  tiff::StripTable table{directory_.TagArray(stream, tiff::Tag::kStripOffsets),
                         directory_.TagArray(stream, tiff::Tag::kStripByteCounts)};
  if (table.offsets.empty()) InvalidImage();
  p.StripCount = std::uint32_t(table.offsets.size());
  const std::uint32_t per_plane = StripsPerPlane(plan);
  // A file whose strips cannot cover the image is damaged: refused rather than shown
  // with rows missing.
  if (per_plane < StripsNeeded(p.RowsPerStrip, p.Height)) InvalidImage();

  // Every strip must lie inside the file before anything is allocated for it.
  const bool stored = p.Compression == CompressionType::cmpNone;
  std::uint32_t row = 0;
  for (std::uint32_t s = 0; s < per_plane && row < p.Height; ++s) {
    const std::uint32_t rows = RowsOfStrip(s, row);
    for (std::size_t plane = 0; plane < std::size_t(plan.Planes()); ++plane)
      CheckInsideFile(table, plane * per_plane + s, base_position_, stream.Size(), stored,
                      StripBytes(plan, rows));
    row += rows;
  }
  return table;
}

std::uint32_t TTIFFGraphic::StripsPerPlane(const RowPlan& plan) const {
  const std::uint32_t count = ImageProperties().StripCount;
  return plan.planar ? count / std::uint32_t(plan.samples) : count;
}

void TTIFFGraphic::TransferStrips(TStream& stream, const RowPlan& plan, tiff::StripTable table,
                                  TDecoder* decoder) {
  TImageProperties& p = Properties();
  const std::uint32_t strips_per_plane = StripsPerPlane(plan);
  const bool reverse = (p.Flags & ImageFlags::kReversedBits) && tiff::ReversesStripBits(p.Compression);
  tiff::TStripReader reader(stream, base_position_, std::move(table), decoder, reverse);
  std::vector<std::vector<std::uint8_t>> strips(std::size_t(plan.Planes()));
  std::vector<std::uint8_t> scratch;

  p.CurrentRow = 0;
  for (std::uint32_t s = 0; s < strips_per_plane && p.CurrentRow < p.Height; ++s) {
    const std::uint32_t strip_rows = RowsOfStrip(s, p.CurrentRow);
    const std::uint64_t strip_bytes = StripBytes(plan, strip_rows);
    for (std::size_t plane = 0; plane < strips.size(); ++plane) {
      p.CurrentStrip = std::uint32_t(plane) * strips_per_plane + s;
      reader.Read(p.CurrentStrip, std::size_t(strip_bytes), strips[plane]);
    }
    ConvertBand(plan, strips, strip_rows, plan.differencing, scratch);
  }
}

tiff::TileLayout TTIFFGraphic::TileLayoutOf(const RowPlan& plan) const {
  const TImageProperties& p = ImageProperties();
  if (plan.Subsampled()) {
    const std::uint32_t unit_bits = std::uint32_t(plan.ycbcr_h * plan.ycbcr_v + 2) * 8;
    return tiff::TileLayout(p.Width, p.Height, p.TileWidth, p.TileLength, unit_bits,
                            std::uint32_t(plan.ycbcr_h), std::uint32_t(plan.ycbcr_v));
  }
  const std::uint64_t samples = plan.planar ? 1 : std::uint64_t(plan.samples);
  return tiff::TileLayout(p.Width, p.Height, p.TileWidth, p.TileLength, samples * std::uint64_t(plan.bits));
}

tiff::StripTable TTIFFGraphic::ReadTileTable(TStream& stream, const RowPlan& plan) {
  TImageProperties& p = Properties();
  const tiff::TileLayout layout = TileLayoutOf(plan);
  if (!layout.ValidUnits()) InvalidImage();
  tiff::StripTable table{directory_.TagArray(stream, tiff::Tag::kTileOffsets),
                         directory_.TagArray(stream, tiff::Tag::kTileByteCounts)};
  const std::uint64_t needed = layout.Count() * std::uint64_t(plan.Planes());
  if (table.offsets.empty() || table.offsets.size() < needed) InvalidImage();
  p.StripCount = std::uint32_t(table.offsets.size());
  const bool stored = p.Compression == CompressionType::cmpNone;
  for (std::size_t index = 0; index < needed; ++index)
    CheckInsideFile(table, index, base_position_, stream.Size(), stored, layout.TileBytes());
  return table;
}

void TTIFFGraphic::TransferTiles(TStream& stream, const RowPlan& plan, tiff::StripTable table,
                                 TDecoder* decoder) {
  TImageProperties& p = Properties();
  const tiff::TileLayout layout = TileLayoutOf(plan);
  const bool reverse = (p.Flags & ImageFlags::kReversedBits) && tiff::ReversesStripBits(p.Compression);
  const bool big_endian = (p.Flags & ImageFlags::kSwapped) != 0;
  const std::uint64_t per_plane = layout.Count();
  // A band is laid out as a strip: rows of pixels, or rows of units of subsampled YCbCr.
  const std::uint64_t band_line_bytes =
      plan.Subsampled() ? StripBytes(plan, std::uint32_t(plan.ycbcr_v)) : plan.line_bytes;
  tiff::TStripReader reader(stream, base_position_, std::move(table), decoder, reverse);
  std::vector<std::vector<std::uint8_t>> bands(std::size_t(plan.Planes()));
  std::vector<std::uint8_t> tile, scratch;

  p.CurrentRow = 0;
  for (std::uint64_t row = 0; row < layout.Down() && p.CurrentRow < p.Height; ++row) {
    const std::uint32_t band_rows = layout.RowsOfBand(row);
    const std::uint64_t band_bytes = StripBytes(plan, band_rows);
    for (std::size_t plane = 0; plane < bands.size(); ++plane) {
      bands[plane].assign(std::size_t(band_bytes), 0);
      for (std::uint64_t column = 0; column < layout.Across(); ++column) {
        p.CurrentStrip = std::uint32_t(plane * per_plane + row * layout.Across() + column);
        reader.Read(p.CurrentStrip, std::size_t(layout.TileBytes()), tile);
        // Each row of a tile is differenced on its own, from the tile's left edge.
        if (plan.differencing)
          for (std::uint64_t line = 0; line * layout.TileLineBytes() < tile.size(); ++line)
            tiff::UndoHorizontalDifferencing(tile.data() + line * layout.TileLineBytes(), p.TileWidth,
                                             plan.planar ? 1 : plan.samples, plan.bits, big_endian);
        layout.Place(tile.data(), column, band_rows, bands[plane].data(), band_line_bytes);
      }
    }
    ConvertBand(plan, bands, band_rows, false, scratch);
  }
}

void TTIFFGraphic::ConvertBand(const RowPlan& plan, std::vector<std::vector<std::uint8_t>>& band,
                               std::uint32_t rows, bool undo_differencing,
                               std::vector<std::uint8_t>& scratch) {
  TImageProperties& p = Properties();
  const tiff::YCbCrUnits units(p.Width, plan.ycbcr_h, plan.ycbcr_v);
  const bool big_endian = (p.Flags & ImageFlags::kSwapped) != 0;
  const bool min_is_white = (p.Flags & ImageFlags::kMinIsWhite) != 0;
  const int sample_bytes = std::max(plan.bits / 8, 1);
  scratch.resize(std::size_t(p.Width) *
                 std::size_t(std::max(plan.channels, plan.cm_channels) * sample_bytes));
  const std::uint8_t* pointers[tiff::kMaxSamplesPerPixel];
  for (std::uint32_t r = 0; r < rows && p.CurrentRow < p.Height; ++r) {
    std::size_t count = 1;
    if (plan.Subsampled()) {
      units.ExpandRow(band[0].data(), r, scratch.data());
      pointers[0] = scratch.data();
    } else {
      count = band.size();
      for (std::size_t plane = 0; plane < count; ++plane) {
        std::uint8_t* row = band[plane].data() + r * plan.line_bytes;
        if (undo_differencing)
          tiff::UndoHorizontalDifferencing(row, p.Width, plan.planar ? 1 : plan.samples, plan.bits,
                                           big_endian);
        pointers[plane] = row;
      }
      if (plan.gray_alpha) {
        const std::size_t step = std::size_t(plan.planar ? 1 : plan.samples) * std::size_t(sample_bytes);
        const std::uint8_t* alpha = plan.planar ? pointers[1] : pointers[0] + sample_bytes;
        tiff::GrayAlphaToRGBA(pointers[0], alpha, step, scratch.data(), p.Width, sample_bytes, min_is_white);
        pointers[0] = scratch.data();
        count = 1;
      } else if (plan.keep_leading) {
        tiff::KeepLeadingSamples(pointers[0], scratch.data(), p.Width, plan.samples, plan.channels,
                                 sample_bytes);
        pointers[0] = scratch.data();
      }
    }
    ColorManager().ConvertRow(std::span<const std::uint8_t* const>(pointers, count),
                              ScanLine(int(p.CurrentRow)), p.Width);
    ++p.CurrentRow;
    RowProgress(p.CurrentRow, p.Height, msg::kTransfering);
  }
}

}  // namespace qel
