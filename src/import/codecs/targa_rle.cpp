#include "import/codecs/targa_rle.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "imaging/errors.h"

namespace qel {

namespace {

constexpr std::size_t kMaxPacketPixels = 128;
constexpr std::uint8_t kRunFlag = 0x80;

}  // namespace

int TargaPixelBytes(int depth) {
  switch (depth) {
    case 8:
      return 1;
    case 15:
    case 16:
      return 2;
    case 24:
      return 3;
    case 32:
      return 4;
    default:
      return 0;
  }
}

TTargaRLEDecoder::TTargaRLEDecoder(int depth) : depth_(depth), bytes_per_pixel_(TargaPixelBytes(depth)) {
  if (bytes_per_pixel_ == 0) {
    throw EGraphicCompression("Targa run-length codec: a pixel depth of " + std::to_string(depth) +
                              " bits is not supported.");
  }
}

void TTargaRLEDecoder::Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
                              std::size_t unpacked_size) {
  const std::size_t b = std::size_t(bytes_per_pixel_);
  const std::uint8_t* src = source;
  const std::uint8_t* const src_end = source + packed_size;
  std::uint8_t* dst = dest;
  std::size_t pixels_wanted = unpacked_size / b;

  // Writes up to `count` pixels of the current packet; whatever does not fit is carried.
  // False when the data ends inside a literal.
  const auto emit = [&](std::size_t count, bool run) {
    const std::size_t take = std::min(count, pixels_wanted);
    if (run) {
      for (std::size_t i = 0; i < take; ++i, dst += b) std::memcpy(dst, run_pixel_, b);
    } else {
      const std::size_t copied = std::min(take, std::size_t(src_end - src) / b);
      std::memcpy(dst, src, copied * b);
      dst += copied * b;
      src += copied * b;
      if (copied < take) {
        pixels_wanted -= copied;
        src = src_end;  // a part of a pixel left at the end is used up too
        carried_ = 0;
        return false;
      }
    }
    pixels_wanted -= take;
    carried_ = count - take;
    carried_run_ = run;
    return true;
  };

  if (carried_ > 0 && pixels_wanted > 0 && !emit(carried_, carried_run_)) pixels_wanted = 0;
  while (pixels_wanted > 0 && src < src_end) {
    const std::uint8_t header = *src++;
    const std::size_t count = std::size_t(header & 0x7F) + 1;
    if (header & kRunFlag) {
      if (std::size_t(src_end - src) < b) {
        src = src_end;  // the pixel value is cut off
        break;
      }
      std::memcpy(run_pixel_, src, b);
      src += b;
      emit(count, true);
    } else if (!emit(count, false)) {
      break;  // the data ended inside this packet
    }
  }
  source = src;
  dest = dst;
}

std::size_t TTargaRLEDecoder::Encode(const std::uint8_t* source, std::uint8_t* dest, std::size_t count) {
  const std::size_t b = std::size_t(bytes_per_pixel_);
  auto equal = [&](std::size_t a, std::size_t c) {
    return std::memcmp(source + a * b, source + c * b, b) == 0;
  };

  std::size_t stored = 0;
  std::size_t i = 0;
  while (i < count) {
    // Pixels before the first pair of equal neighbours (all the rest when there is none).
    std::size_t k = i;
    while (k - i < kMaxPacketPixels) {
      if (k + 1 >= count) {
        k = count;
        break;
      }
      if (equal(k, k + 1)) break;
      ++k;
    }
    const std::size_t literal = std::min(k - i, kMaxPacketPixels);
    if (literal > 0) {
      dest[stored++] = std::uint8_t(literal - 1);
      std::memcpy(dest + stored, source + i * b, literal * b);
      stored += literal * b;
      i += literal;
      continue;
    }
    std::size_t run = 1;
    while (run < kMaxPacketPixels && i + run < count && equal(i, i + run)) ++run;
    dest[stored++] = std::uint8_t((run - 1) | kRunFlag);
    std::memcpy(dest + stored, source + i * b, b);
    stored += b;
    i += run;
  }
  return stored;
}

}  // namespace qel
