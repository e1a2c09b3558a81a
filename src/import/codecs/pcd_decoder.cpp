#include "import/codecs/pcd_decoder.h"

#include <algorithm>
#include <limits>

#include "imaging/stream.h"

namespace qel {

namespace {

constexpr std::size_t kBlockSize = 2048;
constexpr std::uint32_t kSingleTableRowLength = 1536;
constexpr unsigned kLongestCode = 16;

struct HuffmanEntry {
  std::uint32_t code;  // left-aligned
  std::uint32_t mask;
  unsigned length;
  int delta;
};

// A 32-bit window on the data, most significant bit first, refilled from 2048-byte
// blocks of the stream to at least 25 bits. Past the end of the stream it is filled
// with zeros, and Exhausted() tells when the real bits are used up.
class PCDBitReader {
 public:
  explicit PCDBitReader(TStream& stream) : stream_(stream) { Refill(); }

  std::uint32_t Window() const { return window_; }
  bool Exhausted() const { return real_bits_ <= 0; }
  // Takes the next n bits (1..24) off the window.
  void Skip(unsigned n) {
    window_ <<= n;
    bits_ -= static_cast<int>(n);
    real_bits_ -= static_cast<int>(n);
    Refill();
  }
  unsigned Read(unsigned n) {
    const unsigned value = window_ >> (32 - n);
    Skip(n);
    return value;
  }
  bool AtSync() const { return (window_ & 0xFFFFFF00u) == 0xFFFFFE00u; }
  // Moves to the next synchronisation pattern: byte by byte until twelve one bits show
  // below the top byte, then bit by bit until the pattern starts at the top.
  void Resync() {
    while (!Exhausted() && (window_ & 0x00FFF000u) != 0x00FFF000u) Skip(8);
    while (!Exhausted() && !AtSync()) Skip(1);
  }

 private:
  void Refill() {
    while (bits_ <= 24) {
      std::uint32_t byte = 0;
      if (NextByte(byte)) real_bits_ += 8;
      window_ |= byte << (24 - bits_);
      bits_ += 8;
    }
  }
  bool NextByte(std::uint32_t& byte) {
    if (position_ == fill_) {
      if (ended_) return false;
      fill_ = stream_.Read(block_.data(), kBlockSize);
      position_ = 0;
      if (fill_ < kBlockSize) ended_ = true;
      if (fill_ == 0) return false;
    }
    byte = block_[position_++];
    return true;
  }

  TStream& stream_;
  std::array<std::uint8_t, kBlockSize> block_{};
  std::size_t position_ = 0;
  std::size_t fill_ = 0;
  bool ended_ = false;
  std::uint32_t window_ = 0;
  int bits_ = 0;       // bits in the window, padding included
  int real_bits_ = 0;  // bits in the window that came from the stream
};

bool ReadTable(PCDBitReader& in, std::vector<HuffmanEntry>& table) {
  const unsigned entries = in.Read(8) + 1;
  table.clear();
  for (unsigned i = 0; i < entries; ++i) {
    HuffmanEntry e{};
    e.length = in.Read(8) + 1;
    if (e.length > kLongestCode) return false;
    e.mask = ~0u << (32 - e.length);
    e.code = (in.Read(16) << 16) & e.mask;
    e.delta = static_cast<std::int8_t>(in.Read(8));
    table.push_back(e);
  }
  return true;
}

}  // namespace

void TPCDDecoder::Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
                         std::size_t unpacked_size) {
  (void)source;
  const std::size_t plane = unpacked_size / 3;
  const auto stop_row = static_cast<std::uint32_t>(
      std::min<std::size_t>(packed_size, std::numeric_limits<std::uint32_t>::max()));
  DecodePlanes({dest, plane}, {dest + plane, plane}, {dest + 2 * plane, plane}, stop_row, row_length_);
}

void TPCDDecoder::DecodePlanes(std::span<std::uint8_t> luma, std::span<std::uint8_t> chroma1,
                               std::span<std::uint8_t> chroma2, std::uint32_t stop_row,
                               std::uint32_t row_length) {
  PCDBitReader in(stream_);
  std::array<std::vector<HuffmanEntry>, 3> tables;
  const std::size_t table_count = row_length > kSingleTableRowLength ? 3 : 1;
  for (std::size_t t = 0; t < table_count; ++t)
    if (!ReadTable(in, tables[t])) return;

  // The row being filled: where its next pixel is, how many are left, its table.
  std::uint8_t* pixel = nullptr;
  std::size_t left = 0;
  const std::vector<HuffmanEntry>* table = &tables[0];

  in.Resync();
  while (!in.Exhausted()) {
    if (in.AtSync()) {
      in.Skip(16);
      const std::uint32_t row = (in.Window() >> 9) & 0x1FFF;
      if (row == stop_row) return;
      in.Skip(8);
      const unsigned plane_code = in.Window() >> 30;
      in.Skip(16);
      std::span<std::uint8_t> plane;
      std::size_t start = 0, count = 0, table_index = 0;
      switch (plane_code) {
        case 0:
          plane = luma;
          start = static_cast<std::size_t>(row) * row_length;
          count = row_length;
          break;
        case 2:
        case 3:
          plane = plane_code == 2 ? chroma1 : chroma2;
          start = static_cast<std::size_t>(row / 2) * row_length;
          count = row_length / 2;
          table_index = plane_code - 1;
          break;
        default:
          break;  // no such plane: count stays 0 and the row is skipped
      }
      if (start > plane.size() || count > plane.size() - start) count = 0;
      pixel = count > 0 ? plane.data() + start : nullptr;
      left = count;
      table = &tables[table_count == 3 ? table_index : 0];
      continue;
    }
    if (left == 0) {
      in.Resync();
      continue;
    }
    const std::uint32_t window = in.Window();
    const auto match = std::find_if(table->begin(), table->end(),
                                    [window](const HuffmanEntry& e) { return (window & e.mask) == e.code; });
    if (match == table->end()) {
      left = 0;
      in.Resync();
      continue;
    }
    *pixel = static_cast<std::uint8_t>(std::clamp(*pixel + match->delta, 0, 255));
    ++pixel;
    --left;
    in.Skip(match->length);
  }
}

}  // namespace qel
