#include "import/psd/channels.h"

#include <algorithm>
#include <cstring>

#include "imaging/errors.h"
#include "imaging/stream.h"
#include "import/codecs/packbits_decoder.h"
#include "import/framework/messages.h"

namespace qel {

namespace {

// PackBits makes at most 128 bytes out of two, so no honest row of n bytes is shorter.
std::size_t ShortestPackedRow(std::size_t row_bytes) {
  return (row_bytes + 127) / 128 * 2;
}

}  // namespace

PsdChannelData PsdChannelData::ReadStored(TStream& stream, std::uint32_t planes, std::uint32_t rows,
                                          std::size_t row_bytes) {
  PsdChannelData data;
  data.rows_ = rows;
  data.row_bytes_ = row_bytes;
  const std::uint64_t size = std::uint64_t(planes) * rows * row_bytes;
  if (size > stream.Remaining()) throw EReadError();
  data.bytes_ = stream.ReadBytes(std::size_t(size));
  return data;
}

PsdChannelData PsdChannelData::ReadPackBits(TStream& stream, std::uint32_t channels, std::uint32_t planes,
                                            std::uint32_t rows, std::size_t row_bytes,
                                            const char* short_name) {
  PsdChannelData data;
  data.packed_ = true;
  data.rows_ = rows;
  data.row_bytes_ = row_bytes;
  const std::uint64_t entries = std::uint64_t(channels) * rows;
  if (entries * 2 > stream.Remaining()) throw EReadError();
  const std::vector<std::uint8_t> table = stream.ReadBytes(std::size_t(entries * 2));

  // The channels follow each other, so the planes used are the first rows x planes entries.
  const std::size_t used = std::size_t(planes) * rows;
  const std::size_t shortest = ShortestPackedRow(row_bytes);
  data.row_starts_.resize(used + 1);
  std::size_t total = 0;
  for (std::size_t i = 0; i < used; ++i) {
    const std::size_t length = std::size_t(table[2 * i] << 8 | table[2 * i + 1]);
    if (length < shortest) throw EInvalidGraphic(FormatMessage(msg::kInvalidImage, {short_name}));
    data.row_starts_[i] = total;
    total += length;
  }
  data.row_starts_[used] = total;
  if (total > stream.Remaining()) throw EReadError();
  data.bytes_ = stream.ReadBytes(total);
  return data;
}

void PsdChannelData::Row(std::uint32_t plane, std::uint32_t y, std::uint8_t* out) const {
  const std::size_t index = std::size_t(plane) * rows_ + y;
  if (!packed_) {
    std::memcpy(out, bytes_.data() + index * row_bytes_, row_bytes_);
    return;
  }
  std::fill_n(out, row_bytes_, std::uint8_t(0));
  const std::uint8_t* source = bytes_.data() + row_starts_[index];
  TPackbitsRLEDecoder decoder;
  decoder.Decode(source, out, row_starts_[index + 1] - row_starts_[index], row_bytes_);
}

}  // namespace qel
