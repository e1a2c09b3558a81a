// Converters for one-sample layouts: palette indices and gray levels. Samples below 8
// bits are packed most significant bit first, one sample straight after the other.
#include <cstring>

#include "import/color/convert.h"

namespace qel::color_convert {
namespace {

// The bits-wide sample (1..8 bits) that starts bit_pos bits into row. Only the bytes
// that hold the sample are read.
unsigned ReadBits(const std::uint8_t* row, std::size_t bit_pos, int bits) {
  const std::size_t byte = bit_pos >> 3;
  const int offset = int(bit_pos & 7u);
  const unsigned ones = (1u << bits) - 1u;
  if (offset + bits <= 8) return (unsigned(row[byte]) >> (8 - offset - bits)) & ones;
  const unsigned word = (unsigned(row[byte]) << 8) | row[byte + 1];
  return (word >> (16 - offset - bits)) & ones;
}

// Stores a bits-wide sample (1..8 bits) at bit_pos, keeping every other bit of the
// bytes it touches.
void WriteBits(std::uint8_t* row, std::size_t bit_pos, int bits, unsigned value) {
  const std::size_t byte = bit_pos >> 3;
  const int offset = int(bit_pos & 7u);
  const unsigned ones = (1u << bits) - 1u;
  if (offset + bits <= 8) {
    const int shift = 8 - offset - bits;
    const unsigned keep = ~(ones << shift) & 0xFFu;
    row[byte] = std::uint8_t((row[byte] & keep) | ((value & ones) << shift));
    return;
  }
  const int shift = 16 - offset - bits;
  const unsigned field = (value & ones) << shift;
  const unsigned keep = ~(ones << shift) & 0xFFFFu;
  row[byte] = std::uint8_t((row[byte] & (keep >> 8)) | (field >> 8));
  row[byte + 1] = std::uint8_t((row[byte + 1] & keep) | field);
}

}  // namespace

void RepackRow(const RowSetup& setup, const SourceCursor& source, std::uint8_t* target, std::size_t count,
               std::uint8_t mask) {
  const int s = setup.source_bits;
  const int t = setup.target_bits;
  const std::uint8_t* in = source.channel[0];
  if (s == t && mask == 0xFF) {
    std::memcpy(target, in, (count * std::size_t(s) + 7) / 8);
    return;
  }
  const auto& scale = *setup.index_scale;
  std::size_t j = 0;
  if (s == 8 && t == 8) {
    for (std::size_t i = 0; i < count; ++i)
      if (Selected(mask, i)) target[i] = scale[in[j++]];
    return;
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (!Selected(mask, i)) continue;
    const unsigned v = ReadBits(in, j++ * std::size_t(s), s);
    WriteBits(target, i * std::size_t(t), t, scale[v]);
  }
}

void Copy16Row(const RowSetup& setup, const SourceCursor& source, std::uint8_t* target, std::size_t count,
               std::uint8_t mask) {
  const std::uint8_t* in = source.channel[0];
  if (!setup.byte_swap && mask == 0xFF) {
    std::memcpy(target, in, count * 2);
    return;
  }
  std::size_t j = 0;
  for (std::size_t i = 0; i < count; ++i)
    if (Selected(mask, i)) Store16(target + 2 * i, Load16(in + 2 * j++, setup.byte_swap), false);
}

void Indexed16ToNRow(const RowSetup& setup, const SourceCursor& source, std::uint8_t* target,
                     std::size_t count, std::uint8_t mask) {
  const std::uint8_t* in = source.channel[0];
  const int t = setup.target_bits;
  const std::uint32_t top = (1u << t) - 1u;
  std::size_t j = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (!Selected(mask, i)) continue;
    const std::uint32_t v = Load16(in + 2 * j++, setup.byte_swap);
    WriteBits(target, i * std::size_t(t), t, v * top / 65535u);
  }
}

void IndexedNTo16Row(const RowSetup& setup, const SourceCursor& source, std::uint8_t* target,
                     std::size_t count, std::uint8_t mask) {
  const std::uint8_t* in = source.channel[0];
  const int s = setup.source_bits;
  const std::uint32_t top = (1u << s) - 1u;
  std::size_t j = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (!Selected(mask, i)) continue;
    const std::uint32_t v = ReadBits(in, j++ * std::size_t(s), s);
    Store16(target + 2 * i, std::uint16_t(v * 65535u / top), setup.byte_swap);
  }
}

void GrayRow(const RowSetup& setup, const SourceCursor& source, std::uint8_t* target, std::size_t count,
             std::uint8_t mask) {
  const std::uint8_t* in = source.channel[0];
  const std::size_t step = source.step;
  const bool swap = setup.byte_swap;
  const bool wide_source = setup.source_bits == 16;
  const bool wide_target = setup.target_bits == 16;
  std::size_t j = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (!Selected(mask, i)) continue;
    const std::uint8_t* p = in + j++ * step;
    if (!wide_source && !wide_target) {
      target[i] = *p;
    } else if (!wide_source) {
      Store16(target + 2 * i, Scale8To16(*p), swap);
    } else if (!wide_target) {
      target[i] = Scale16To8(Load16(p, swap));
    } else {
      Store16(target + 2 * i, Load16(p, swap), false);
    }
  }
}

}  // namespace qel::color_convert
