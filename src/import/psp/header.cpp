#include "import/psp/header.h"

#include <bit>
#include <cstring>
#include <string_view>

#include "imaging/stream.h"

namespace qel {

namespace {

constexpr std::string_view kSignature = "Paint Shop Pro Image File";

char Upper(std::uint8_t c) {
  return char(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
}

// Attributes used: width to grey-scale flag.
constexpr std::uint32_t kAttributesUsed = 28;
constexpr std::uint32_t kChannelInfoSize = 12;

}  // namespace

bool PspFileHeader::IsValid() const {
  for (std::size_t i = 0; i < kSignature.size(); ++i)
    if (Upper(signature[i]) != Upper(std::uint8_t(kSignature[i]))) return false;
  return major_version >= kPspOldestMajorVersion;
}

std::size_t PspBlockHeaderSize(std::uint16_t major_version) {
  return major_version == kPspOldestMajorVersion ? 14 : 10;
}

PspFileHeader ReadPspFileHeader(TStream& stream) {
  PspFileHeader h;
  stream.ReadBuffer(h.signature.data(), h.signature.size());
  h.major_version = stream.ReadU16LE();
  h.minor_version = stream.ReadU16LE();
  return h;
}

PspBlockHeader ReadPspBlockHeader(TStream& stream, std::uint16_t major_version) {
  PspBlockHeader h;
  stream.ReadBuffer(h.identifier.data(), h.identifier.size());
  h.id = stream.ReadU16LE();
  if (major_version == kPspOldestMajorVersion) stream.ReadU32LE();  // initial data length
  h.length = stream.ReadU32LE();
  return h;
}

std::optional<PspImageAttributes> ReadPspImageAttributes(TStream& stream, std::uint16_t major_version,
                                                         std::uint32_t block_length) {
  const bool chunked = major_version > kPspOldestMajorVersion;
  if (block_length < kAttributesUsed + (chunked ? 4 : 0)) return std::nullopt;
  if (chunked) stream.ReadU32LE();  // chunk size
  PspImageAttributes a;
  a.width = std::int32_t(stream.ReadU32LE());
  a.height = std::int32_t(stream.ReadU32LE());
  std::uint64_t bits = stream.ReadU32LE();
  bits |= std::uint64_t(stream.ReadU32LE()) << 32;
  a.resolution = std::bit_cast<double>(bits);
  a.resolution_metric = stream.ReadByte();
  a.compression = stream.ReadU16LE();
  a.bit_depth = stream.ReadU16LE();
  stream.ReadU16LE();  // plane count
  stream.ReadU32LE();  // colour count
  a.greyscale = stream.ReadByte();
  return a;
}

std::optional<PspChannelInfo> ReadPspChannelInfo(TStream& stream, std::uint16_t major_version,
                                                 std::uint32_t block_length) {
  const std::uint64_t start = stream.Position();
  std::uint32_t chunk_size = kChannelInfoSize;
  if (major_version > kPspOldestMajorVersion) {
    if (block_length < 4) return std::nullopt;
    chunk_size = stream.ReadU32LE();
    // The chunk size counts itself; the data follows the chunk.
    if (chunk_size < kChannelInfoSize + 4) return std::nullopt;
  }
  if (chunk_size > block_length) return std::nullopt;
  PspChannelInfo c;
  c.compressed_length = stream.ReadU32LE();
  c.uncompressed_length = stream.ReadU32LE();
  c.bitmap_type = stream.ReadU16LE();
  c.channel_type = stream.ReadU16LE();
  if (major_version > kPspOldestMajorVersion) stream.SetPosition(start + chunk_size);
  return c;
}

}  // namespace qel
