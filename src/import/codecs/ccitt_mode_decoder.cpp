#include "import/codecs/ccitt_mode_decoder.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace qel::codec {

namespace {

// Values of the mode tree's leaves. The vertical modes VL3..VR3 are kVertical - 3 to
// kVertical + 3: a1 lies that far right of b1.
constexpr std::int32_t kVertical = 3;
constexpr std::int32_t kHorizontal = 10;
constexpr std::int32_t kPass = 11;
constexpr std::int32_t kExtension = 12;

struct ModeCode {
  std::uint32_t bits;
  unsigned length;
  std::int32_t mode;
};

// T.4 table 4 and the end-of-line code; every other string of up to 12 bits that starts
// with seven zeros is invalid.
constexpr ModeCode kModeCodes[] = {
    {0b1, 1, kVertical},
    {0b011, 3, kVertical + 1},
    {0b010, 3, kVertical - 1},
    {0b001, 3, kHorizontal},
    {0b0001, 4, kPass},
    {0b000011, 6, kVertical + 2},
    {0b000010, 6, kVertical - 2},
    {0b0000011, 7, kVertical + 3},
    {0b0000010, 7, kVertical - 3},
    {0b0000001, 7, kExtension},
    {0b00000001, 8, TCCITTDecoder::kInvalidCode},
    {0b000000001, 9, TCCITTDecoder::kInvalidCode},
    {0b0000000001, 10, TCCITTDecoder::kInvalidCode},
    {0b00000000001, 11, TCCITTDecoder::kInvalidCode},
    {0b000000000001, 12, TCCITTDecoder::kEndOfLine},
    {0b000000000000, 12, TCCITTDecoder::kInvalidCode},
};

// b1 and b2 of T.4: b1 is the first change of the reference row right of a0 to the
// colour opposite to the current one, b2 the change after it; the row's width stands
// for changes that do not exist. The index only moves a little between calls.
class ReferenceRow {
 public:
  ReferenceRow(const std::vector<std::uint32_t>& changes, std::uint32_t width)
      : changes_(changes), width_(width) {}

  void Find(std::int64_t a0, bool black, std::uint32_t& b1, std::uint32_t& b2) {
    const std::size_t n = changes_.size();
    while (i_ > 0 && changes_[i_ - 1] > a0) --i_;
    while (i_ < n && changes_[i_] <= a0) ++i_;
    // Even entries are changes to black: after a white a0 the next one to black is wanted.
    if (i_ < n && (i_ % 2 == 0) == black) ++i_;
    b1 = i_ < n ? changes_[i_] : width_;
    b2 = i_ + 1 < n ? changes_[i_ + 1] : width_;
  }

 private:
  const std::vector<std::uint32_t>& changes_;
  std::uint32_t width_;
  std::size_t i_ = 0;
};

}  // namespace

FaxModeDecoder::FaxModeDecoder() {
  for (const ModeCode& c : kModeCodes) modes_.Insert(c.bits, c.length, c.mode);
}

std::int32_t FaxModeDecoder::ReadMode(FaxBitReader& in) const {
  std::size_t node = 0;
  while (in.HasBit()) {
    const TStateEntry& entry = modes_[node];
    const std::int32_t child = in.Read() ? entry.one : entry.zero;
    node = static_cast<std::size_t>(child);
    const TStateEntry& next = modes_[node];
    if (next.zero == 0 && next.one == 0) return next.value;
  }
  return TCCITTDecoder::kInvalidCode;
}

FaxModeDecoder::RowEnd FaxModeDecoder::DecodeRow(FaxBitReader& in, FaxRowWriter& out,
                                                 const TCCITTDecoder& runs) const {
  const std::uint32_t width = out.Width();
  ReferenceRow reference(out.ReferenceChanges(), width);
  bool black = false;
  std::int64_t a0 = -1;  // the imaginary white pixel before the row
  while (!out.RowComplete()) {
    const std::int32_t mode = ReadMode(in);
    if (mode == TCCITTDecoder::kEndOfLine) return RowEnd::kEndOfLine;
    if (mode < 0 || mode == kExtension) return RowEnd::kError;

    std::uint32_t b1 = 0, b2 = 0;
    reference.Find(a0, black, b1, b2);
    const std::uint32_t column = out.Column();
    if (mode == kPass) {
      out.Run(b2 - column, black);
      a0 = b2;
    } else if (mode == kHorizontal) {
      const std::int32_t first = runs.ReadRun(in, black);
      if (first < 0) return first == TCCITTDecoder::kEndOfLine ? RowEnd::kEndOfLine : RowEnd::kError;
      const std::int32_t second = runs.ReadRun(in, !black);
      if (second < 0) return second == TCCITTDecoder::kEndOfLine ? RowEnd::kEndOfLine : RowEnd::kError;
      out.Run(static_cast<std::uint32_t>(first), black);
      out.Run(static_cast<std::uint32_t>(second), !black);
      a0 = out.Column();
    } else {
      const std::int64_t a1 = std::int64_t(b1) + (mode - kVertical);
      if (a1 < std::int64_t(column)) return RowEnd::kError;
      out.Run(static_cast<std::uint32_t>(std::min<std::int64_t>(a1, width) - column), black);
      a0 = a1;
      black = !black;
    }
  }
  return RowEnd::kComplete;
}

}  // namespace qel::codec
