// PNG encoder: truecolour with 8 bits a sample, no interlace, deflated at least as
// tightly as zlib's level 8, row filters Sub and Up, a tRNS chunk with the transparent
// colour when the picture is transparent, IDAT chunks of at most 65535 bytes. The file
// holds the signature, IHDR, tRNS (when transparent), IDAT..., IEND and nothing else.
//
// The saving path deflates row bands on all cores (see png_writer.h). The tests and
// benchmarks hold it to a plain libpng encoder of the same rows, one zlib stream at
// level 8, for the pixels, the filters and the size.
#include "output/png_writer.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "imaging/errors.h"
#include "imaging/parallel_in_order.h"
#include "imaging/stream.h"
#include "output/deflate_join.h"
#include "output/picture_writers.h"

namespace qel {

namespace png {

namespace {

// The band files are held to the strength of zlib's level 8. The bands are deflated by libdeflate at its
// level 10, the first of its levels that parse for the shortest output instead of taking matches lazily. Its
// files come out smaller than zlib's level 8 makes of the same rows (by 1 to 11 % on photographs, 7 % on a
// smooth plasma picture), where its lazy levels 8 and 9 at times only just match zlib's. It runs more than
// twice as fast as zlib on smooth pictures and about as fast on photographs.
constexpr int kBandLevel = 10;
// Every IDAT chunk carries one buffer of compressed data at most.
constexpr std::size_t kIdatChunkLimit = 65535;
// The zlib header of a 32 KiB window at the highest compression levels (check bits
// make it a multiple of 31).
constexpr std::uint8_t kZlibHeader[2] = {0x78, 0xDA};
constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr int kBytesPerPixel = 3;

[[noreturn]] void DeflateFailed() {
  throw Error("PNG error: the image data cannot be compressed.");
}

// A byte of filtered data as libpng weighs it: its distance from zero read as signed.
inline unsigned Weight(std::uint8_t v) {
  return v < 128 ? v : 256u - v;
}

void PutU32(std::uint8_t* out, std::uint32_t v) {
  out[0] = std::uint8_t(v >> 24);
  out[1] = std::uint8_t(v >> 16);
  out[2] = std::uint8_t(v >> 8);
  out[3] = std::uint8_t(v);
}

// Writes whole chunks: length, type, data, CRC-32 of type and data.
void WriteChunk(TStream& stream, const char (&type)[5], const std::uint8_t* data, std::size_t size) {
  std::uint8_t head[8];
  PutU32(head, std::uint32_t(size));
  std::memcpy(head + 4, type, 4);
  uLong crc = crc32(0L, head + 4, 4);
  if (size > 0) crc = crc32(crc, data, uInt(size));
  std::uint8_t tail[4];
  PutU32(tail, std::uint32_t(crc));
  stream.Write(head, sizeof head);
  if (size > 0) stream.Write(data, size);
  stream.Write(tail, sizeof tail);
}

// Gathers the zlib stream into IDAT chunks of kIdatChunkLimit bytes, the last one shorter.
class IdatWriter {
 public:
  explicit IdatWriter(TStream& stream) : stream_(stream) { buffer_.reserve(kIdatChunkLimit); }

  void Append(const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
      const std::size_t n = std::min(size, kIdatChunkLimit - buffer_.size());
      buffer_.insert(buffer_.end(), data, data + n);
      data += n;
      size -= n;
      if (buffer_.size() == kIdatChunkLimit) Flush();
    }
  }
  void Finish() {
    if (!buffer_.empty()) Flush();
  }

 private:
  void Flush() {
    WriteChunk(stream_, "IDAT", buffer_.data(), buffer_.size());
    buffer_.clear();
  }

  TStream& stream_;
  std::vector<std::uint8_t> buffer_;
};

// Raw deflate data of one band, made by libdeflate, whose memory is freed on every path.
class BandDeflater {
 public:
  BandDeflater() : compressor_(libdeflate_alloc_compressor(kBandLevel)) {
    if (!compressor_) throw EOutOfResources("Out of memory while saving a PNG image.");
  }

  // The data as a whole raw deflate stream, ended by its final block (last) or made to
  // continue into the next band's stream.
  std::vector<std::uint8_t> Deflate(const std::vector<std::uint8_t>& data, bool last) {
    std::vector<std::uint8_t> out(libdeflate_deflate_compress_bound(compressor_.get(), data.size()));
    const std::size_t size =
        libdeflate_deflate_compress(compressor_.get(), data.data(), data.size(), out.data(), out.size());
    if (size == 0) DeflateFailed();
    out.resize(size);
    if (!last && !ContinueDeflateStream(out)) DeflateFailed();
    return out;
  }

 private:
  struct Free {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
  };
  std::unique_ptr<libdeflate_compressor, Free> compressor_;
};

// How the rows are cut into bands.
struct BandPlan {
  std::size_t line = 0;  // pixel bytes of a row
  int rows_per_band = 1;
  int bands = 1;
};

BandPlan PlanBands(const Picture& picture, std::size_t band_bytes) {
  BandPlan plan;
  plan.line = std::size_t(picture.Width()) * kBytesPerPixel;
  const std::size_t filtered = plan.line + 1;
  const std::size_t rows = std::max<std::size_t>(1, (band_bytes + filtered - 1) / filtered);
  plan.rows_per_band = int(std::min<std::size_t>(rows, std::size_t(picture.Height())));
  plan.bands = (picture.Height() + plan.rows_per_band - 1) / plan.rows_per_band;
  return plan;
}

// A band of rows deflated, with what the stream's checksum needs of it.
struct DeflatedBand {
  std::vector<std::uint8_t> bytes;
  uLong adler = 1;  // of the band's filtered bytes
  std::size_t filtered_bytes = 0;
};

// Filters and deflates bands of a picture's rows. Make() may run on several threads at
// once, each with a deflater of its own.
class BandMaker {
 public:
  BandMaker(const Picture& picture, const BandPlan& plan)
      : picture_(picture),
        plan_(plan),
        fixed_filter_(FixedFilter(picture.Width(), picture.Height())),
        zeros_(plan.line, 0) {}

  DeflatedBand Make(int b, BandDeflater& deflater) const {
    const int first = b * plan_.rows_per_band;
    const int rows = std::min(plan_.rows_per_band, picture_.Height() - first);
    const std::size_t filtered = plan_.line + 1;
    std::vector<std::uint8_t> data(std::size_t(rows) * filtered);
    for (int r = 0; r < rows; ++r) FilterPictureRow(first + r, data.data() + std::size_t(r) * filtered);
    DeflatedBand band;
    band.adler = adler32_z(1L, data.data(), data.size());
    band.filtered_bytes = data.size();
    band.bytes = deflater.Deflate(data, b + 1 == plan_.bands);
    return band;
  }

 private:
  // Row y filtered and in red, green, blue order.
  void FilterPictureRow(int y, std::uint8_t* out) const {
    const std::uint8_t* previous = y > 0 ? picture_.Row(y - 1) : zeros_.data();
    if (fixed_filter_ != 0) {
      ApplyFilter(fixed_filter_, picture_.Row(y), previous, plan_.line, out);
    } else {
      FilterRow(picture_.Row(y), previous, plan_.line, out);
    }
    for (std::size_t i = 1; i + 2 < plan_.line + 1; i += kBytesPerPixel) std::swap(out[i], out[i + 2]);
  }

  const Picture& picture_;
  const BandPlan plan_;
  const std::uint8_t fixed_filter_;
  const std::vector<std::uint8_t> zeros_;
};

// Bands deflated in advance of the one being written, for each thread.
constexpr int kBandsAheadPerThread = 4;

}  // namespace

void ApplyFilter(std::uint8_t type, const std::uint8_t* row, const std::uint8_t* previous, std::size_t length,
                 std::uint8_t* out) {
  out[0] = type;
  if (type == kFilterUp) {
    for (std::size_t i = 0; i < length; ++i) out[1 + i] = std::uint8_t(row[i] - previous[i]);
    return;
  }
  const std::size_t lead = std::min<std::size_t>(kBytesPerPixel, length);
  for (std::size_t i = 0; i < lead; ++i) out[1 + i] = row[i];
  for (std::size_t i = lead; i < length; ++i) out[1 + i] = std::uint8_t(row[i] - row[i - kBytesPerPixel]);
}

std::uint8_t FilterRow(const std::uint8_t* row, const std::uint8_t* previous, std::size_t length,
                       std::uint8_t* out) {
  const std::size_t lead = std::min<std::size_t>(kBytesPerPixel, length);
  std::size_t sub = 0, up = 0;
  for (std::size_t i = 0; i < lead; ++i) sub += Weight(row[i]);
  for (std::size_t i = lead; i < length; ++i) sub += Weight(std::uint8_t(row[i] - row[i - kBytesPerPixel]));
  for (std::size_t i = 0; i < length; ++i) up += Weight(std::uint8_t(row[i] - previous[i]));
  const std::uint8_t type = up < sub ? kFilterUp : kFilterSub;
  ApplyFilter(type, row, previous, length, out);
  return type;
}

std::uint8_t FixedFilter(int width, int height) {
  if (height == 1) return kFilterSub;
  if (width == 1) return kFilterUp;
  return 0;
}

void WritePngInBands(const Picture& picture, TStream& stream, const BandOptions& options) {
  if (picture.Empty()) throw Error("Cannot save an empty picture as PNG.");
  stream.Write(kSignature, sizeof kSignature);
  // Width, height, 8 bits a sample, truecolour, deflate, filter method 0, not interlaced.
  std::uint8_t header[13] = {0, 0, 0, 0, 0, 0, 0, 0, 8, 2, 0, 0, 0};
  PutU32(header, std::uint32_t(picture.Width()));
  PutU32(header + 4, std::uint32_t(picture.Height()));
  WriteChunk(stream, "IHDR", header, sizeof header);
  if (picture.Transparent()) {
    const TColor color = picture.TransparentColor();
    const std::uint8_t transparent[6] = {0, RedOf(color), 0, GreenOf(color), 0, BlueOf(color)};
    WriteChunk(stream, "tRNS", transparent, sizeof transparent);
  }

  const BandPlan plan = PlanBands(picture, options.band_bytes);
  const BandMaker maker(picture, plan);
  const int threads = std::min(ThreadCount(int(options.threads)), plan.bands);
  std::vector<std::unique_ptr<BandDeflater>> deflaters(static_cast<std::size_t>(threads));
  IdatWriter idat(stream);
  idat.Append(kZlibHeader, sizeof kZlibHeader);
  uLong adler = 1;
  ParallelInOrder<DeflatedBand>(
      threads, plan.bands, threads * kBandsAheadPerThread,
      [&](int thread, int b) {
        std::unique_ptr<BandDeflater>& deflater = deflaters[std::size_t(thread)];
        if (!deflater) deflater = std::make_unique<BandDeflater>();
        return maker.Make(b, *deflater);
      },
      [&](int, DeflatedBand& band) {
        idat.Append(band.bytes.data(), band.bytes.size());
        adler = adler32_combine(adler, band.adler, z_off_t(band.filtered_bytes));
      });
  std::uint8_t checksum[4];
  PutU32(checksum, std::uint32_t(adler));
  idat.Append(checksum, sizeof checksum);
  idat.Finish();
  WriteChunk(stream, "IEND", nullptr, 0);
}

}  // namespace png

void WritePng(const Picture& picture, TStream& stream) {
  png::WritePngInBands(picture, stream, {});
}

}  // namespace qel
