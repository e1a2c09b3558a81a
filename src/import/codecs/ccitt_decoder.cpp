#include "import/codecs/ccitt_decoder.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "import/codecs/ccitt_codes.h"

namespace qel {

namespace {

constexpr std::array<std::uint8_t, 256> MakeReversedBytes() {
  std::array<std::uint8_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned r = 0;
    for (unsigned b = 0; b < 8; ++b)
      if (i & (1u << b)) r |= 0x80u >> b;
    table[i] = static_cast<std::uint8_t>(r);
  }
  return table;
}

constexpr std::array<std::uint8_t, 256> kReversedBytes = MakeReversedBytes();

// Runs longer than this are not told apart; no row is anywhere near as wide.
constexpr std::int32_t kLongestRun = 1 << 28;

void InsertAll(TStateArray& tree, std::span<const codec::FaxCode> codes) {
  for (const auto& c : codes) tree.Insert(c.bits, c.length, c.run);
}

void InsertSpecialCodes(TStateArray& tree) {
  tree.Insert(0b000000000001, 12, TCCITTDecoder::kEndOfLine);
  tree.Insert(0b000000001, 9, TCCITTDecoder::kInvalidCode);
  tree.Insert(0b0000000001, 10, TCCITTDecoder::kInvalidCode);
  tree.Insert(0b00000000001, 11, TCCITTDecoder::kInvalidCode);
  tree.Insert(0b000000000000, 12, TCCITTDecoder::kInvalidCode);
}

}  // namespace

TStateArray::TStateArray() : nodes_(1, TStateEntry{0, 0, TCCITTDecoder::kInvalidCode}), leaf_(1, false) {}

bool TStateArray::Insert(std::uint32_t code, unsigned length, std::int32_t value) {
  if (length == 0 || length > 16) return false;
  // First check the path, so that a clash leaves the tree unchanged.
  std::size_t node = 0;
  unsigned depth = 0;
  for (; depth < length; ++depth) {
    if (leaf_[node]) return false;
    const unsigned bit = (code >> (length - 1 - depth)) & 1;
    const std::int32_t child = bit ? nodes_[node].one : nodes_[node].zero;
    if (child == 0) break;
    node = static_cast<std::size_t>(child);
  }
  if (depth == length) return false;  // ends on an existing node
  for (; depth < length; ++depth) {
    const unsigned bit = (code >> (length - 1 - depth)) & 1;
    nodes_.push_back(TStateEntry{0, 0, TCCITTDecoder::kInvalidCode});
    leaf_.push_back(false);
    const auto child = static_cast<std::int32_t>(nodes_.size() - 1);
    if (bit)
      nodes_[node].one = child;
    else
      nodes_[node].zero = child;
    node = static_cast<std::size_t>(child);
  }
  nodes_[node].value = value;
  leaf_[node] = true;
  return true;
}

namespace codec {

unsigned FaxBitReader::Peek() const {
  std::uint8_t b = data_[byte_];
  if (reverse_) b = kReversedBytes[b];
  return (b >> (7 - bit_)) & 1u;
}

FaxRowWriter::FaxRowWriter(std::uint8_t* dest, std::size_t size, std::uint32_t width)
    : dest_(dest), size_(size), width_(width), row_bytes_((static_cast<std::size_t>(width) + 7) / 8) {
  if (size_ > 0) std::memset(dest_, 0, size_);
}

void FaxRowWriter::Run(std::uint32_t n, bool black) {
  n = std::min(n, width_ - column_);
  if (n == 0) return;
  if (black != black_) {
    changes_.push_back(column_);
    black_ = black;
  }
  if (black) SetBlack(row_start_ * 8 + column_, n);
  column_ += n;
}

void FaxRowWriter::NextRow() {
  // A row cut short in black goes on white.
  if (black_ && column_ < width_) changes_.push_back(column_);
  reference_.swap(changes_);
  changes_.clear();
  black_ = false;
  row_start_ += row_bytes_;
  column_ = 0;
}

void FaxRowWriter::SetBlack(std::size_t first_bit, std::size_t count) {
  std::size_t bit = first_bit;
  const std::size_t end = first_bit + count;
  while (bit < end) {
    const std::size_t byte = bit / 8;
    if (byte >= size_) return;
    const unsigned offset = bit % 8;
    if (offset == 0 && end - bit >= 8) {
      const std::size_t whole = std::min((end - bit) / 8, size_ - byte);
      std::memset(dest_ + byte, 0xFF, whole);
      bit += whole * 8;
      continue;
    }
    const unsigned n = static_cast<unsigned>(std::min<std::size_t>(8 - offset, end - bit));
    dest_[byte] |= static_cast<std::uint8_t>((0xFFu >> offset) & ~(0xFFu >> (offset + n)));
    bit += n;
  }
}

}  // namespace codec

TCCITTDecoder::TCCITTDecoder(std::uint32_t options, bool reverse_bits, bool word_aligned, std::uint32_t width)
    : options_(options), reverse_bits_(reverse_bits), word_aligned_(word_aligned), width_(width) {
  InsertAll(white_, codec::WhiteRunCodes());
  InsertAll(white_, codec::ExtendedMakeUpCodes());
  InsertSpecialCodes(white_);
  InsertAll(black_, codec::BlackRunCodes());
  InsertAll(black_, codec::ExtendedMakeUpCodes());
  InsertSpecialCodes(black_);
}

std::int32_t TCCITTDecoder::ReadRun(codec::FaxBitReader& reader, bool black) const {
  const TStateArray& tree = black ? black_ : white_;
  std::int32_t sum = 0;
  std::size_t node = 0;
  while (reader.HasBit()) {
    const TStateEntry& entry = tree[node];
    const std::int32_t child = reader.Peek() ? entry.one : entry.zero;
    if (child != 0) {
      reader.Consume();
      node = static_cast<std::size_t>(child);
      continue;
    }
    // No way on with this bit: the code ends here, and the bit belongs to the next one.
    if (entry.value < 0) return entry.value;
    sum = std::min(sum + entry.value, kLongestRun);
    if (entry.value < 64) return sum;
    node = 0;  // a make-up code: its terminating code follows
  }
  // The input ended: a code read to its last bit still counts, a partial one does not.
  const TStateEntry& entry = tree[node];
  if (node != 0 && entry.zero == 0 && entry.one == 0) {
    if (entry.value < 0) return entry.value;
    sum = std::min(sum + entry.value, kLongestRun);
  }
  return sum;
}

}  // namespace qel
