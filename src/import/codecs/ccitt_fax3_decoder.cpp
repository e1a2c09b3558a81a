#include "import/codecs/ccitt_fax3_decoder.h"

namespace qel {

namespace {
constexpr std::uint32_t kTwoDimensionalOption = 1;
constexpr unsigned kEndOfLineZeros = 11;
}  // namespace

void TCCITTFax3Decoder::SkipToEndOfLine(codec::FaxBitReader& in) {
  unsigned zeros = 0;
  while (zeros < kEndOfLineZeros && in.HasBit()) zeros = in.Read() ? 0 : zeros + 1;
  // Fill bits may make the run of zeros longer; the code ends at the first 1.
  while (in.HasBit() && in.Read() == 0) {
  }
}

void TCCITTFax3Decoder::Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
                               std::size_t unpacked_size) {
  codec::FaxRowWriter out(dest, unpacked_size, width_);
  if (width_ == 0) return;
  codec::FaxBitReader in(source, packed_size, reverse_bits_);
  bool after_end_of_line = false;  // the previous row ended on an end-of-line code
  while (in.HasBit() && !out.Full()) {
    // An end-of-line code read as a run or a mode has had its 1 bit consumed already.
    if (!after_end_of_line) SkipToEndOfLine(in);
    after_end_of_line = false;
    bool cut_short = false;
    if ((options_ & kTwoDimensionalOption) && in.HasBit() && in.Read() == 0) {
      switch (modes_.DecodeRow(in, out, *this)) {
        case codec::FaxModeDecoder::RowEnd::kComplete:
          break;
        case codec::FaxModeDecoder::RowEnd::kEndOfLine:
          after_end_of_line = true;
          cut_short = out.RowStarted();
          break;
        case codec::FaxModeDecoder::RowEnd::kError:
          cut_short = true;
          break;
      }
      if (out.RowComplete() || cut_short) out.NextRow();
      continue;
    }

    bool black = false;
    while (in.HasBit()) {
      const std::int32_t run = ReadRun(in, black);
      if (run == kEndOfLine) {
        after_end_of_line = true;
        cut_short = out.RowStarted();
        break;
      }
      if (run < 0) {
        cut_short = true;
        break;
      }
      out.Run(static_cast<std::uint32_t>(run), black);
      if (out.RowComplete()) break;
      black = !black;
    }
    if (out.RowComplete() || cut_short) out.NextRow();
  }
}

}  // namespace qel
