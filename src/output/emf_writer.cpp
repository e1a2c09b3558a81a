// The enhanced metafile of a picture: a header, the picture drawn at (0, 0) with
// EMR_STRETCHDIBITS records of 24-bit bitmaps, and EMR_EOF. A transparent picture's
// pixels of the transparent colour are left undrawn: each row band is cut into the runs
// of the other pixels, one record per run, so that any reader shows the gaps.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "imaging/errors.h"
#include "imaging/stream.h"
#include "output/emf_format.h"
#include "output/picture_writers.h"

namespace qel {

namespace {

// Bitmap bytes in one record at most; taller bands are split.
constexpr std::size_t kMaxBitsPerRecord = std::size_t(16) << 20;

struct Run {
  int begin, end;  // columns [begin, end)
  friend bool operator==(const Run&, const Run&) = default;
};

// The columns of row y that are drawn.
void RowRuns(const Picture& picture, int y, bool transparent, TColor transparent_color,
             std::vector<Run>& runs) {
  runs.clear();
  const int width = picture.Width();
  if (!transparent) {
    runs.push_back({0, width});
    return;
  }
  const std::uint8_t key[3] = {BlueOf(transparent_color), GreenOf(transparent_color),
                               RedOf(transparent_color)};
  const std::uint8_t* row = picture.Row(y);
  int x = 0;
  while (x < width) {
    while (x < width && std::memcmp(row + 3 * std::size_t(x), key, 3) == 0) ++x;
    const int begin = x;
    while (x < width && std::memcmp(row + 3 * std::size_t(x), key, 3) != 0) ++x;
    if (x > begin) runs.push_back({begin, x});
  }
}

// Calls emit(run, top, bottom) for every record of the picture, rows [top, bottom):
// consecutive rows with the same runs share a band, bands kept within the record limit.
template <typename Emit>
void ForEachRecord(const Picture& picture, Emit emit) {
  const int height = picture.Height();
  if (picture.Empty()) return;
  const bool transparent = picture.Transparent();
  const TColor key = picture.TransparentColor();
  const int max_rows = int(std::clamp<std::size_t>(kMaxBitsPerRecord / Picture::RowSizeFor(picture.Width()),
                                                   1, std::size_t(std::numeric_limits<int>::max())));
  std::vector<Run> band, row;
  int band_top = 0;
  for (int y = 0; y < height; ++y) {
    RowRuns(picture, y, transparent, key, row);
    if (y > 0 && (row != band || y - band_top >= max_rows)) {
      for (const Run& run : band) emit(run, band_top, y);
      band_top = y;
    }
    if (y == band_top) band.swap(row);
  }
  for (const Run& run : band) emit(run, band_top, height);
}

std::uint64_t StretchRecordSize(const Run& run, int top, int bottom) {
  return emf::kStretchDIBitsFixedSize + emf::kBitmapInfoHeaderSize +
         std::uint64_t(Picture::RowSizeFor(run.end - run.begin)) * std::uint64_t(bottom - top);
}

class RecordBuilder {
 public:
  void U16(std::uint32_t v) {
    bytes_.push_back(std::uint8_t(v));
    bytes_.push_back(std::uint8_t(v >> 8));
  }
  void U32(std::uint32_t v) {
    U16(v & 0xFFFF);
    U16(v >> 16);
  }
  void I32(std::int32_t v) { U32(std::uint32_t(v)); }
  void Rect(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b) {
    I32(l), I32(t), I32(r), I32(b);
  }
  std::vector<std::uint8_t>& Bytes() { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

void WriteStretchRecord(const Picture& picture, const Run& run, int top, int bottom, TStream& stream) {
  const int width = run.end - run.begin, height = bottom - top;
  const std::size_t row_size = Picture::RowSizeFor(width);
  const std::uint32_t bits_size = std::uint32_t(row_size * std::size_t(height));
  RecordBuilder r;
  r.Bytes().reserve(emf::kStretchDIBitsFixedSize + emf::kBitmapInfoHeaderSize + bits_size);
  r.U32(emf::kEmrStretchDIBits);
  r.U32(std::uint32_t(StretchRecordSize(run, top, bottom)));
  r.Rect(run.begin, top, run.end - 1, bottom - 1);  // bounds, inclusive
  r.I32(run.begin);                                 // destination x, y
  r.I32(top);
  r.I32(0);  // source x, y
  r.I32(0);
  r.I32(width);  // source width, height
  r.I32(height);
  r.U32(emf::kStretchDIBitsFixedSize);  // bitmap info offset and size
  r.U32(emf::kBitmapInfoHeaderSize);
  r.U32(emf::kStretchDIBitsFixedSize + emf::kBitmapInfoHeaderSize);  // bits offset and size
  r.U32(bits_size);
  r.U32(emf::kDibRgbColors);
  r.U32(emf::kSrcCopy);
  r.I32(width);  // destination width, height
  r.I32(height);
  // BITMAPINFOHEADER: 24 bits, rows from the bottom.
  r.U32(emf::kBitmapInfoHeaderSize);
  r.I32(width);
  r.I32(height);
  r.U16(1);
  r.U16(24);
  r.U32(emf::kBiRgb);
  r.U32(bits_size);
  r.U32(0);
  r.U32(0);
  r.U32(0);
  r.U32(0);
  std::vector<std::uint8_t>& bytes = r.Bytes();
  const std::size_t pixel_bytes = 3 * std::size_t(width);
  for (int y = bottom - 1; y >= top; --y) {
    const std::uint8_t* src = picture.Row(y) + 3 * std::size_t(run.begin);
    bytes.insert(bytes.end(), src, src + pixel_bytes);
    bytes.resize(bytes.size() + (row_size - pixel_bytes), 0);
  }
  stream.Write(bytes.data(), bytes.size());
}

}  // namespace

EmfFrame EmfFrameOf(int width, int height) {
  return {0, 0,
          std::int32_t(std::int64_t(width) * (emf::kReferenceWidthMillimetres * 100) /
                       emf::kReferenceWidthPixels),
          std::int32_t(std::int64_t(height) * (emf::kReferenceHeightMillimetres * 100) /
                       emf::kReferenceHeightPixels)};
}

void WriteEmf(const Picture& picture, TStream& stream) {
  // First pass: the size of the file and the number of records, for the header.
  std::uint64_t total = emf::kHeaderSize + emf::kEofSize;
  std::uint64_t records = 2;
  ForEachRecord(picture, [&](const Run& run, int top, int bottom) {
    total += StretchRecordSize(run, top, bottom);
    ++records;
  });
  if (total > std::numeric_limits<std::uint32_t>::max()) {
    throw Error("Cannot save the picture as EMF: the metafile would be larger than 4 GB.");
  }

  const int width = picture.Empty() ? 0 : picture.Width(), height = picture.Empty() ? 0 : picture.Height();
  const EmfFrame frame = EmfFrameOf(width, height);
  RecordBuilder h;
  h.U32(emf::kEmrHeader);
  h.U32(emf::kHeaderSize);
  // The bounds cover the whole picture; right and bottom are given as the picture's
  // width and height, which readers that take the bounds as exclusive need to find its size.
  h.Rect(0, 0, width, height);
  h.Rect(frame.left, frame.top, frame.right, frame.bottom);
  h.U32(emf::kSignature);
  h.U32(emf::kVersion);
  h.U32(std::uint32_t(total));
  h.U32(std::uint32_t(records));
  h.U16(1);  // handles: only the reserved one
  h.U16(0);
  h.U32(0);  // no description
  h.U32(0);
  h.U32(0);  // no palette
  h.I32(emf::kReferenceWidthPixels);
  h.I32(emf::kReferenceHeightPixels);
  h.I32(emf::kReferenceWidthMillimetres);
  h.I32(emf::kReferenceHeightMillimetres);
  h.U32(0);  // no pixel format
  h.U32(0);
  h.U32(0);  // no OpenGL
  h.I32(emf::kReferenceWidthMillimetres * 1000);
  h.I32(emf::kReferenceHeightMillimetres * 1000);
  stream.Write(h.Bytes().data(), h.Bytes().size());

  ForEachRecord(picture, [&](const Run& run, int top, int bottom) {
    WriteStretchRecord(picture, run, top, bottom, stream);
  });

  RecordBuilder eof;
  eof.U32(emf::kEmrEof);
  eof.U32(emf::kEofSize);
  eof.U32(0);   // no palette entries
  eof.U32(16);  // where they would start
  eof.U32(emf::kEofSize);
  stream.Write(eof.Bytes().data(), eof.Bytes().size());
}

}  // namespace qel
