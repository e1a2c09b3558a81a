// The base of the fax decoders: the code trees of the T.4 modified Huffman codes, a bit
// reader over the compressed bytes and a writer of runs into bilevel rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "import/codecs/decoder.h"

namespace qel {

// One node of a code tree. A child of 0 means "no child for that bit" (node 0 is the
// root, which is nobody's child). Leaves carry the run length of their code, or one of
// the special values of TCCITTDecoder; inner nodes carry kInvalidCode.
struct TStateEntry {
  std::int32_t zero = 0;
  std::int32_t one = 0;
  std::int32_t value = 0;
};

// A growable binary tree of codes, read most significant bit first.
class TStateArray {
 public:
  TStateArray();
  // Adds a code of length bits (1..16, right-aligned in code). Returns false, leaving
  // the tree as it was, when the code is a prefix of one already added or has one as
  // its prefix.
  bool Insert(std::uint32_t code, unsigned length, std::int32_t value);

  const TStateEntry& operator[](std::size_t index) const { return nodes_[index]; }
  std::size_t Size() const { return nodes_.size(); }

 private:
  std::vector<TStateEntry> nodes_;
  std::vector<bool> leaf_;
};

namespace codec {

// Reads bits most significant first, optionally from bytes whose bit order is reversed
// (fill order 2). The caller's bytes are never changed.
class FaxBitReader {
 public:
  FaxBitReader(const std::uint8_t* data, std::size_t size, bool reverse_bits)
      : data_(data), size_(size), reverse_(reverse_bits) {}

  bool HasBit() const { return byte_ < size_; }
  // The next bit; only call when HasBit().
  unsigned Peek() const;
  void Consume() {
    if (++bit_ == 8) {
      bit_ = 0;
      ++byte_;
    }
  }
  unsigned Read() {
    const unsigned b = Peek();
    Consume();
    return b;
  }
  // Drops what is left of a partly read byte.
  void AlignToByte() {
    if (bit_ != 0) {
      bit_ = 0;
      ++byte_;
    }
  }
  // Skips a byte when the position is odd (rows start on 16-bit boundaries).
  void AlignToWord() {
    if (byte_ % 2 != 0 && byte_ < size_) ++byte_;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  bool reverse_;
  std::size_t byte_ = 0;
  unsigned bit_ = 0;
};

// Writes runs into rows of width pixels (one bit each, most significant bit first, set
// bits black) packed into rows of (width + 7) / 8 bytes. The output is zeroed (white)
// when the writer is made; nothing is written beyond its size. It keeps the colour
// changes of the row before, the reference of two-dimensional coding.
class FaxRowWriter {
 public:
  FaxRowWriter(std::uint8_t* dest, std::size_t size, std::uint32_t width);

  // Writes n pixels of one colour, cut at the end of the row.
  void Run(std::uint32_t n, bool black);
  std::uint32_t Width() const { return width_; }
  // Pixels of the current row written so far.
  std::uint32_t Column() const { return column_; }
  bool RowComplete() const { return column_ == width_; }
  bool RowStarted() const { return column_ > 0; }
  // Moves to the start of the next row; what was not written of this row stays white.
  void NextRow();
  bool Full() const { return row_start_ >= size_; }

  // The columns at which the row before changes colour, ascending: the first change is
  // to black (rows start white), the next back to white and so on. Empty before the
  // first row and after an all-white row.
  const std::vector<std::uint32_t>& ReferenceChanges() const { return reference_; }

 private:
  void SetBlack(std::size_t first_bit, std::size_t count);

  std::uint8_t* dest_;
  std::size_t size_;
  std::uint32_t width_;
  std::size_t row_bytes_;
  std::size_t row_start_ = 0;
  std::uint32_t column_ = 0;
  bool black_ = false;  // the colour of the last pixel written in the current row
  std::vector<std::uint32_t> changes_;
  std::vector<std::uint32_t> reference_;
};

}  // namespace codec

// Shared state of the fax decoders. Rows are width pixels wide, one bit a pixel, white
// 0 and black 1, padded to whole bytes; runs longer than what is left of a row are cut
// at the row's end and complete it.
class TCCITTDecoder : public TDecoder {
 public:
  // Values of a code tree besides run lengths.
  static constexpr std::int32_t kEndOfLine = -1;
  static constexpr std::int32_t kInvalidCode = -2;

  // options: the T.4 options of the image (bit 0: two-dimensional coding, bit 2: fill
  // bits before end-of-line codes). reverse_bits: bytes are filled from the least
  // significant bit. word_aligned: every row starts on a 16-bit boundary of the input.
  TCCITTDecoder(std::uint32_t options, bool reverse_bits, bool word_aligned, std::uint32_t width);

  std::uint32_t Options() const { return options_; }
  const TStateArray& WhiteTree() const { return white_; }
  const TStateArray& BlackTree() const { return black_; }

  // Reads one run of the given colour: make-up codes add up until a terminating code
  // ends the run. Returns the run length, kEndOfLine or kInvalidCode (a special code
  // after make-up codes wins over their sum), or the sum so far when the input ends.
  std::int32_t ReadRun(codec::FaxBitReader& reader, bool black) const;

 protected:
  std::uint32_t options_;
  bool reverse_bits_;
  bool word_aligned_;
  std::uint32_t width_;
  TStateArray white_;
  TStateArray black_;
};

}  // namespace qel
