#include "unit/import/codecs/tiff_strips.h"

#include <algorithm>

#include "support/test_support.h"

namespace qel::test {

namespace {

class TiffBytes {
 public:
  explicit TiffBytes(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

  bool Ok() const { return ok_; }
  void SetBigEndian(bool big) { big_ = big; }
  std::size_t Size() const { return bytes_.size(); }

  std::uint32_t U16(std::size_t at) { return Get(at, 2); }
  std::uint32_t U32(std::size_t at) { return Get(at, 4); }
  std::vector<std::uint8_t> Slice(std::size_t at, std::size_t count) {
    if (at > bytes_.size() || count > bytes_.size() - at) {
      ok_ = false;
      return {};
    }
    return {bytes_.begin() + static_cast<std::ptrdiff_t>(at),
            bytes_.begin() + static_cast<std::ptrdiff_t>(at + count)};
  }

 private:
  std::uint32_t Get(std::size_t at, unsigned n) {
    if (at > bytes_.size() || n > bytes_.size() - at) {
      ok_ = false;
      return 0;
    }
    std::uint32_t v = 0;
    for (unsigned i = 0; i < n; ++i) {
      const unsigned shift = big_ ? 8 * (n - 1 - i) : 8 * i;
      v |= std::uint32_t{bytes_[at + i]} << shift;
    }
    return v;
  }

  std::vector<std::uint8_t> bytes_;
  bool big_ = false;
  bool ok_ = true;
};

unsigned TypeSize(unsigned type) {
  switch (type) {
    case 3:
    case 8:
      return 2;
    case 4:
    case 9:
      return 4;
    case 5:
    case 10:
      return 8;
    default:
      return 1;
  }
}

}  // namespace

std::uint32_t TiffStrips::RowsInStrip(std::size_t i) const {
  const std::uint32_t first = static_cast<std::uint32_t>(i) * rows_per_strip;
  return first >= height ? 0 : std::min(rows_per_strip, height - first);
}

std::optional<TiffStrips> ReadTiffStrips(const std::filesystem::path& file) {
  TiffBytes in(ReadFileBytes(file));
  if (in.Size() < 8) return std::nullopt;
  const std::uint32_t order = in.U16(0);
  if (order != 0x4949 && order != 0x4D4D) return std::nullopt;
  in.SetBigEndian(order == 0x4D4D);
  if (in.U16(2) != 42) return std::nullopt;

  TiffStrips t;
  std::vector<std::uint32_t> offsets, counts;
  const std::size_t ifd = in.U32(4);
  const std::uint32_t entries = in.U16(ifd);
  for (std::uint32_t e = 0; e < entries; ++e) {
    const std::size_t at = ifd + 2 + 12 * std::size_t{e};
    const std::uint32_t tag = in.U16(at), type = in.U16(at + 2), count = in.U32(at + 4);
    const std::size_t size = std::size_t{TypeSize(type)} * count;
    const std::size_t data = size <= 4 ? at + 8 : in.U32(at + 8);
    auto values = [&] {
      std::vector<std::uint32_t> v;
      for (std::uint32_t i = 0; i < count && in.Ok(); ++i)
        v.push_back(type == 3   ? in.U16(data + 2 * i)
                    : type == 4 ? in.U32(data + 4 * i)
                                : in.Slice(data + i, 1)[0]);
      return v;
    };
    switch (tag) {
      case 256:
        t.width = values()[0];
        break;
      case 257:
        t.height = values()[0];
        break;
      case 258:
        t.bits_per_sample = values()[0];
        break;
      case 259:
        t.compression = values()[0];
        break;
      case 262:
        t.photometric = values()[0];
        break;
      case 266:
        t.fill_order = values()[0];
        break;
      case 273:
        offsets = values();
        break;
      case 277:
        t.samples_per_pixel = values()[0];
        break;
      case 278:
        t.rows_per_strip = values()[0];
        break;
      case 279:
        counts = values();
        break;
      case 284:
        t.planar_config = values()[0];
        break;
      case 292:
        t.t4_options = values()[0];
        break;
      case 317:
        t.predictor = values()[0];
        break;
      case 347:
        t.jpeg_tables = in.Slice(data, count);
        break;
      case 530:
        t.subsampling = values();
        break;
      default:
        break;
    }
    if (!in.Ok()) return std::nullopt;
  }
  if (t.rows_per_strip == 0 || t.rows_per_strip > t.height) t.rows_per_strip = t.height;
  if (offsets.size() != counts.size()) return std::nullopt;
  for (std::size_t i = 0; i < offsets.size(); ++i) t.strips.push_back(in.Slice(offsets[i], counts[i]));
  if (!in.Ok()) return std::nullopt;
  return t;
}

void UndoHorizontalDifferencing(std::vector<std::uint8_t>& strip, const TiffStrips& image) {
  const std::size_t row = image.BytesPerRow(), step = image.samples_per_pixel;
  for (std::size_t start = 0; row > 0 && start + row <= strip.size(); start += row)
    for (std::size_t i = start + step; i < start + row; ++i)
      strip[i] = static_cast<std::uint8_t>(strip[i] + strip[i - step]);
}

bool Tiffcp(const std::string& options, const std::filesystem::path& input,
            const std::filesystem::path& output) {
  std::string log;
  return RunCommand(
             "tiffcp " + options + " " + ShellQuote(input.string()) + " " + ShellQuote(output.string()),
             &log) == 0;
}

}  // namespace qel::test
