// Finding the final block of a deflate stream takes decoding it: block lengths are not
// stored. zlib's inflate, asked to stop at every block boundary, says where each block
// begins and how many bits of the last byte it read are still unused.
#include "output/deflate_join.h"

#include <zlib.h>

#include <cstddef>
#include <iterator>

namespace qel {

namespace {

// What inflate reports in data_type when it stops with Z_BLOCK.
constexpr int kUnusedBitsMask = 7;
constexpr int kInLastBlock = 64;
constexpr int kAtBlockBoundary = 128;
// An empty stored block after its three header bits and the padding: LEN 0, NLEN ~0.
constexpr std::uint8_t kEmptyStoredLengths[4] = {0x00, 0x00, 0xFF, 0xFF};

// A raw inflate stream, ended on every path.
class RawInflater {
 public:
  RawInflater() { ok_ = inflateInit2(&z_, -MAX_WBITS) == Z_OK; }
  ~RawInflater() {
    if (ok_) inflateEnd(&z_);
  }
  RawInflater(const RawInflater&) = delete;
  RawInflater& operator=(const RawInflater&) = delete;

  bool Ok() const { return ok_; }
  z_stream& Stream() { return z_; }

 private:
  z_stream z_{};
  bool ok_ = false;
};

struct FinalBlock {
  std::size_t header_bit = 0;  // the BFINAL bit, counted from the first byte's lowest bit
  std::size_t end_bit = 0;     // just past the end-of-block code
  bool found = false;
};

FinalBlock FindFinalBlock(const std::vector<std::uint8_t>& stream) {
  FinalBlock last;
  RawInflater inflater;
  if (!inflater.Ok() || stream.empty()) return last;
  z_stream& z = inflater.Stream();
  z.next_in = const_cast<Bytef*>(stream.data());
  z.avail_in = uInt(stream.size());
  std::vector<std::uint8_t> scratch(std::size_t(1) << 16);
  for (;;) {
    z.next_out = scratch.data();
    z.avail_out = uInt(scratch.size());
    const int result = inflate(&z, Z_BLOCK);
    if (result != Z_OK) return last;  // broken data, or input ended inside a block
    if ((z.data_type & kAtBlockBoundary) == 0) continue;
    const std::size_t bit =
        std::size_t(z.next_in - stream.data()) * 8 - std::size_t(z.data_type & kUnusedBitsMask);
    if ((z.data_type & kInLastBlock) == 0) {
      last.header_bit = bit;  // where the next block begins
      continue;
    }
    last.end_bit = bit;
    // Nothing but the padding of the last byte may follow.
    last.found = z.avail_in == 0;
    return last;
  }
}

}  // namespace

bool ContinueDeflateStream(std::vector<std::uint8_t>& stream) {
  const FinalBlock last = FindFinalBlock(stream);
  if (!last.found) return false;
  stream[last.header_bit / 8] &= std::uint8_t(~(1u << (last.header_bit % 8)));
  const unsigned used = unsigned(last.end_bit % 8);
  if (used != 0) stream.back() &= std::uint8_t((1u << used) - 1);
  // The stored block's three zero header bits go into the padding when it has room.
  const unsigned padding = used == 0 ? 0 : 8 - used;
  if (padding < 3) stream.push_back(0);
  stream.insert(stream.end(), std::begin(kEmptyStoredLengths), std::end(kEmptyStoredLengths));
  return true;
}

}  // namespace qel
