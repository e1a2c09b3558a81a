#include "import/codecs/tiff_lzw_decoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "import/codecs/byte_cursor.h"

namespace qel {

namespace {
constexpr unsigned kClearCode = 256;
constexpr unsigned kEndCode = 257;
constexpr unsigned kFirstFree = 258;
constexpr unsigned kMinCodeWidth = 9;
constexpr unsigned kMaxCodeWidth = 12;
constexpr unsigned kNoCode = codec::LZWStringTable::kNoCode;
// Short strings are copied as one word of this many bytes.
constexpr std::size_t kWord = 8;

// The strings of the single-byte codes, with room for a whole word read from the last.
constexpr std::array<std::uint8_t, 256 + kWord> MakeSingleBytes() {
  std::array<std::uint8_t, 256 + kWord> bytes{};
  for (unsigned i = 0; i < 256; ++i) bytes[i] = std::uint8_t(i);
  return bytes;
}
constexpr std::array<std::uint8_t, 256 + kWord> kSingleBytes = MakeSingleBytes();

inline std::uint64_t LoadWord(const std::uint8_t* p) {
  std::uint64_t v;
  std::memcpy(&v, p, kWord);
  return v;
}
inline void StoreWord(std::uint8_t* p, std::uint64_t v) {
  std::memcpy(p, &v, kWord);
}

inline std::uint64_t LoadBigEndian(const std::uint8_t* p) {
  std::uint64_t v = LoadWord(p);
  if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
  return v;
}

}  // namespace

// Short strings are written as a whole word, which puts up to seven bytes of scratch
// after the string; the next string overwrites them. So that the bytes after the last
// string stay as the caller had them, the decoder keeps the caller's bytes of the last
// word it wrote (tail, one byte for each position in [reach - 8, reach)) and puts back
// those beyond the end of the decoded data when it stops.
void TTIFFLZWDecoder::Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
                             std::size_t unpacked_size) {
  static_assert(std::endian::native == std::endian::little || std::endian::native == std::endian::big);
  const std::uint8_t* in = source;
  const std::uint8_t* const in_end = source + packed_size;
  std::uint8_t* const out = dest;
  std::size_t done = 0;
  std::size_t reach = 0;   // bytes from here on were never written
  std::uint64_t tail = 0;  // the caller's bytes at [reach - 8, reach), first byte lowest

  for (unsigned i = 0; i < 256; ++i) {
    from_[i] = kSingleBytes.data() + i;
    length_[i] = 1;
  }
  unsigned width = kMinCodeWidth, next_free = kFirstFree;
  bool have_previous = false;
  // Where the previous code's string was written, and its length.
  const std::uint8_t* previous_start = nullptr;
  std::size_t previous_length = 0;
  std::uint64_t bits = 0;  // pending bits, the oldest at the top
  unsigned held = 0;
  while (done < unpacked_size) {
    if (held < width) {
      if (in_end - in >= 8) {
        // Tops the buffer up to at least 56 bits in one read.
        bits |= LoadBigEndian(in) >> held;
        in += (63 - held) >> 3;
        held |= 56;
      } else {
        while (held <= 56 && in != in_end) {
          bits |= std::uint64_t(*in++) << (56 - held);
          held += 8;
        }
        if (held < width) break;
      }
    }
    const unsigned code = unsigned(bits >> (64 - width));
    bits <<= width;
    held -= width;

    if (code >= kClearCode && code <= kEndCode) {
      if (code == kEndCode) break;
      width = kMinCodeWidth;
      next_free = kFirstFree;
      have_previous = false;
      continue;
    }
    if (code > next_free) continue;
    // A code equal to the entry added for it stands for the previous string and its own
    // first byte: that last byte is being written now and cannot be read from the output.
    bool own_first = false;
    if (!have_previous) {
      if (code >= kClearCode) continue;
      have_previous = true;
    } else if (next_free < kTableSize) {
      own_first = code == next_free;
      // The previous string and the byte that follows it: the first byte of this code's string.
      from_[next_free] = previous_start;
      length_[next_free] = std::uint16_t(previous_length + 1);
      ++next_free;
      if (next_free == (1u << width) - 1 && width < kMaxCodeWidth) ++width;
    }
    const std::uint8_t* from = from_[code];
    const std::size_t length = length_[code];
    std::uint8_t* to = out + done;
    previous_start = to;
    previous_length = length;
    // Words are written while a whole word and the word after it fit in the output.
    if (length <= kWord && unpacked_size - done >= 2 * kWord) {
      if (reach <= done) {
        tail = LoadWord(to);
      } else {
        // The word starts on scratch of the last one; the caller's bytes after that
        // are read where nothing was written yet.
        const std::size_t kept = reach - done;
        const std::uint64_t fresh = LoadWord(out + reach);
        if constexpr (std::endian::native == std::endian::little) {
          tail = (tail >> (8 * (kWord - kept))) | (fresh << (8 * kept));
        } else {
          tail = (tail << (8 * (kWord - kept))) | (fresh >> (8 * kept));
        }
      }
      reach = done + kWord;
      StoreWord(to, LoadWord(from));
      if (own_first) to[length - 1] = from[0];
      done += length;
    } else {
      const std::size_t count = std::min(length, unpacked_size - done);
      if (own_first) {
        for (std::size_t k = 0; k < count; ++k) to[k] = from[k];
      } else {
        std::memcpy(to, from, count);
      }
      done += count;
    }
  }
  if (reach > done) {
    // Put back the caller's bytes under the scratch of the last word.
    std::uint8_t original[kWord];
    StoreWord(original, tail);
    const std::size_t first = reach - kWord;
    for (std::size_t i = done; i < reach; ++i) out[i] = original[i - first];
  }
}

void TTIFFLZWChainDecoder::Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
                                  std::size_t unpacked_size) {
  codec::ByteSource in(source, packed_size);
  codec::ByteSink out(dest, unpacked_size);
  table_.Reset(kClearCode);

  unsigned width = kMinCodeWidth, next_free = kFirstFree, previous = kNoCode;
  std::uint32_t bits = 0;  // pending bits, the oldest at the top
  unsigned held = 0;
  while (!out.Full()) {
    while (held <= 24 && !in.Empty()) {
      bits |= static_cast<std::uint32_t>(in.Take()) << (24 - held);
      held += 8;
    }
    if (held < width) break;
    const unsigned code = bits >> (32 - width);
    bits <<= width;
    held -= width;

    if (code == kClearCode) {
      width = kMinCodeWidth;
      next_free = kFirstFree;
      previous = kNoCode;
      continue;
    }
    if (code == kEndCode) break;
    if (code > next_free) continue;
    if (table_.DecodeCode(code, kClearCode, next_free, previous, out)) {
      ++next_free;
      if (next_free == (1u << width) - 1 && width < kMaxCodeWidth) ++width;
    }
  }
}

}  // namespace qel
