#include "import/psd/header.h"

#include "imaging/stream.h"

namespace qel {

namespace {

std::uint16_t BigEndian16(const std::uint8_t* p) {
  return std::uint16_t((p[0] << 8) | p[1]);
}
std::uint32_t BigEndian32(const std::uint8_t* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

// The most channels a Photoshop document can have.
constexpr std::uint16_t kMaxChannels = 56;

}  // namespace

PsdHeader ParsePsdHeader(const std::array<std::uint8_t, kPsdHeaderSize>& bytes) {
  PsdHeader h;
  for (std::size_t i = 0; i < 4; ++i) h.signature[i] = bytes[i];
  h.version = BigEndian16(&bytes[4]);
  h.channels = BigEndian16(&bytes[12]);
  h.rows = BigEndian32(&bytes[14]);
  h.columns = BigEndian32(&bytes[18]);
  h.depth = BigEndian16(&bytes[22]);
  h.color_mode = BigEndian16(&bytes[24]);
  return h;
}

std::optional<PsdLayout> ReadPsdLayout(TStream& stream) {
  std::array<std::uint8_t, kPsdHeaderSize> bytes;
  if (stream.Read(bytes.data(), bytes.size()) != bytes.size()) return std::nullopt;
  PsdLayout layout;
  layout.header = ParsePsdHeader(bytes);
  const PsdHeader& h = layout.header;
  // Version 2 files have wider section lengths and row counts: read as version 1
  // they would decode as noise.
  if (!h.HasSignature() || h.version != 1) return std::nullopt;
  if (h.channels == 0 || h.channels > kMaxChannels || h.rows == 0 || h.columns == 0) return std::nullopt;

  // Colour-mode data, image resources, layer and mask information.
  for (int section = 0; section < 3; ++section) {
    std::uint8_t length_bytes[4];
    if (stream.Read(length_bytes, 4) != 4) return std::nullopt;
    const std::uint32_t length = BigEndian32(length_bytes);
    if (length > stream.Remaining()) return std::nullopt;
    if (section == 0) {
      layout.color_data_start = stream.Position();
      layout.color_data_length = length;
    }
    stream.Skip(std::int64_t(length));
  }
  std::uint8_t compression[2];
  if (stream.Read(compression, 2) != 2) return std::nullopt;
  layout.compression = BigEndian16(compression);
  layout.image_data_start = stream.Position();
  return layout;
}

}  // namespace qel
