#include "unit/import/metafile/fixtures.h"

#include <algorithm>
#include <bit>

namespace qel::test {

ByteWriter& ByteWriter::F32(float v) {
  return U32(std::bit_cast<std::uint32_t>(v));
}

std::vector<std::uint8_t> DibParts::Packed() const {
  std::vector<std::uint8_t> out = info;
  out.insert(out.end(), bits.begin(), bits.end());
  return out;
}

DibParts MakeDib(const std::vector<std::vector<TColor>>& rows, int bits, bool top_down, bool bit_fields) {
  const int width = int(rows[0].size()), height = int(rows.size());
  std::vector<TColor> palette;
  if (bits <= 8) {
    for (const auto& row : rows)
      for (TColor c : row)
        if (std::find(palette.begin(), palette.end(), c) == palette.end()) palette.push_back(c);
  }
  const bool masks = bits == 16 || (bits == 32 && bit_fields);
  ByteWriter info;
  info.U32(40).I32(width).I32(top_down ? -height : height).U16(1).U16(bits).U32(masks ? 3 : 0);
  info.U32(0).U32(0).U32(0).U32(std::uint32_t(palette.size())).U32(0);
  if (bits == 16) info.U32(0xF800).U32(0x07E0).U32(0x001F);
  if (bits == 32 && bit_fields) info.U32(0x00FF0000).U32(0x0000FF00).U32(0x000000FF);
  for (TColor c : palette) info.U8(BlueOf(c)).U8(GreenOf(c)).U8(RedOf(c)).U8(0);

  const std::size_t row_size = ((std::size_t(width) * bits + 31) / 32) * 4;
  DibParts dib;
  dib.info = info.bytes;
  for (int i = 0; i < height; ++i) {
    const auto& row = rows[std::size_t(top_down ? i : height - 1 - i)];
    std::vector<std::uint8_t> out(row_size, 0);
    for (int x = 0; x < width; ++x) {
      const TColor c = row[std::size_t(x)];
      const std::uint32_t index =
          std::uint32_t(std::find(palette.begin(), palette.end(), c) - palette.begin());
      switch (bits) {
        case 1:
          out[x / 8] |= std::uint8_t(index << (7 - x % 8));
          break;
        case 4:
          out[x / 2] |= std::uint8_t(index << (x % 2 ? 0 : 4));
          break;
        case 8:
          out[x] = std::uint8_t(index);
          break;
        case 16: {
          const std::uint32_t v = ((RedOf(c) >> 3) << 11) | ((GreenOf(c) >> 2) << 5) | (BlueOf(c) >> 3);
          out[2 * x] = std::uint8_t(v);
          out[2 * x + 1] = std::uint8_t(v >> 8);
          break;
        }
        case 24:
          out[3 * x] = BlueOf(c), out[3 * x + 1] = GreenOf(c), out[3 * x + 2] = RedOf(c);
          break;
        default:
          out[4 * x] = BlueOf(c), out[4 * x + 1] = GreenOf(c), out[4 * x + 2] = RedOf(c),
                  out[4 * x + 3] = 0x7F;
          break;
      }
    }
    dib.bits.insert(dib.bits.end(), out.begin(), out.end());
  }
  return dib;
}

WmfBuilder& WmfBuilder::Record(std::uint16_t function, std::initializer_list<int> words) {
  return RecordWithBytes(function, words, {});
}

WmfBuilder& WmfBuilder::RecordWithBytes(std::uint16_t function, std::initializer_list<int> words,
                                        const std::vector<std::uint8_t>& tail) {
  ByteWriter params;
  for (int w : words) params.I16(w);
  params.Append(tail);
  if (params.bytes.size() % 2) params.U8(0);
  ByteWriter r;
  r.U32(std::uint32_t(3 + params.bytes.size() / 2)).U16(function).Append(params.bytes);
  records_.push_back(r.bytes);
  return *this;
}

std::vector<std::uint8_t> WmfBuilder::Plain(int objects) const {
  std::size_t words = 9 + 3, largest = 3;
  for (const auto& r : records_) {
    words += r.size() / 2;
    largest = std::max(largest, r.size() / 2);
  }
  ByteWriter w;
  w.U16(1).U16(9).U16(0x0300).U32(std::uint32_t(words)).U16(objects).U32(std::uint32_t(largest)).U16(0);
  for (const auto& r : records_) w.Append(r);
  w.U32(3).U16(0);  // EOF
  return w.bytes;
}

std::vector<std::uint8_t> WmfBuilder::Placeable(int left, int top, int right, int bottom, int inch,
                                                int objects) const {
  ByteWriter w;
  w.U32(0x9AC6CDD7).U16(0).I16(left).I16(top).I16(right).I16(bottom).U16(inch).U32(0);
  // The checksum: XOR of the ten words before it.
  std::uint16_t sum = 0;
  for (std::size_t i = 0; i < 20; i += 2) sum ^= std::uint16_t(w.bytes[i] | (w.bytes[i + 1] << 8));
  w.U16(sum);
  w.Append(Plain(objects));
  return w.bytes;
}

EmfBuilder& EmfBuilder::Record(std::uint32_t type, const std::vector<std::uint8_t>& payload) {
  ByteWriter r;
  r.U32(type).U32(std::uint32_t(8 + payload.size())).Append(payload);
  while (r.bytes.size() % 4) r.bytes.push_back(0);
  r.bytes[4] = std::uint8_t(r.bytes.size());
  r.bytes[5] = std::uint8_t(r.bytes.size() >> 8);
  r.bytes[6] = std::uint8_t(r.bytes.size() >> 16);
  records_.push_back(r.bytes);
  return *this;
}

EmfBuilder& EmfBuilder::Record(std::uint32_t type, std::initializer_list<std::int32_t> values) {
  ByteWriter p;
  for (std::int32_t v : values) p.I32(v);
  return Record(type, p.bytes);
}

EmfBuilder& EmfBuilder::StretchDIBits(int x, int y, int w, int h, const DibParts& dib, int src_w, int src_h,
                                      std::uint32_t rop) {
  ByteWriter p;
  const std::uint32_t off_bmi = 80, off_bits = off_bmi + std::uint32_t(dib.info.size());
  p.I32(x).I32(y).I32(x + w - 1).I32(y + h - 1);  // bounds
  p.I32(x).I32(y).I32(0).I32(0).I32(src_w).I32(src_h);
  p.U32(off_bmi).U32(std::uint32_t(dib.info.size())).U32(off_bits).U32(std::uint32_t(dib.bits.size()));
  p.U32(0).U32(rop).I32(w).I32(h);
  p.Append(dib.info).Append(dib.bits);
  return Record(81, p.bytes);
}

std::vector<std::uint8_t> EmfBuilder::Build(std::int32_t frame_right, std::int32_t frame_bottom,
                                            int handles) const {
  std::size_t total = 88 + 20;
  for (const auto& r : records_) total += r.size();
  ByteWriter w;
  w.U32(1).U32(88);
  w.I32(0).I32(0).I32(0).I32(0);  // bounds (unused by the reader while the frame is valid)
  w.I32(0).I32(0).I32(frame_right).I32(frame_bottom);
  w.U32(0x464D4520).U32(0x10000).U32(std::uint32_t(total)).U32(std::uint32_t(records_.size() + 2));
  w.U16(handles).U16(0).U32(0).U32(0).U32(0);
  w.I32(1920).I32(1440).I32(508).I32(381);
  for (const auto& r : records_) w.Append(r);
  w.U32(14).U32(20).U32(0).U32(16).U32(20);
  return w.bytes;
}

}  // namespace qel::test
