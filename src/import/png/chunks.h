// The chunks of a PNG file: big-endian length, four type letters, data, and a CRC-32
// over type and data. The reader checks every length against the stream before it
// reads, hands the data out whole or in bounded pieces, and compares the CRC when the
// last data byte has been read.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace qel {

class TStream;

inline constexpr std::array<std::uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// Bytes around a chunk's data: length and type before it, the CRC after it.
inline constexpr std::size_t kPngChunkHeaderSize = 8;
inline constexpr std::size_t kPngChunkCrcSize = 4;
// Chunk lengths above this are invalid whatever the file holds.
inline constexpr std::uint32_t kPngMaxChunkLength = 0x7FFFFFFFu;

// A chunk's type letters. Bit 5 of a letter only tells lower from upper case, so
// comparisons ignore it; a clear bit 5 in the first letter makes the chunk critical.
struct PngChunkType {
  std::array<std::uint8_t, 4> letters{};

  // name holds four letters, such as "IDAT".
  bool Is(std::string_view name) const;
  bool IsCritical() const { return (letters[0] & 0x20) == 0; }
};

class PngChunkReader {
 public:
  explicit PngChunkReader(TStream& stream) : stream_(stream) {}

  // Reads the length and type of the chunk at the stream's position and starts its CRC.
  // A chunk that does not fit in the rest of the stream (data and CRC) raises the
  // stream error of PNG files before anything of it is read, except image data (IDAT):
  // the part of it there is can be read, without a CRC check (Cut()).
  void ReadHeader();
  // The same, answering false instead of raising when no whole chunk is left.
  bool TryReadHeader();
  // The current chunk is image data cut off by the end of the stream.
  bool Cut() const { return cut_; }

  const PngChunkType& Type() const { return type_; }
  std::uint32_t Length() const { return length_; }
  // Data bytes of the current chunk not read yet.
  std::uint32_t Left() const { return left_; }
  // Bytes of the stream not read yet: the current chunk's and all that follow it.
  std::uint64_t StreamRemaining() const;

  // Reads up to out.size() bytes of the data; after the last byte the stored CRC is read
  // and compared ("Cannot load image. CRC error found in PNG file." on a mismatch).
  std::size_t ReadSome(std::span<std::uint8_t> out);
  // The rest of the data in one piece, CRC checked.
  std::vector<std::uint8_t> ReadData();
  // Reads the rest of the data in pieces and checks the CRC; for a chunk whose data was
  // all read already, only the CRC check is left to do.
  void SkipChecked();
  // Moves past the rest of the data and the CRC without reading them.
  void Skip();

 private:
  void CheckCrc();

  TStream& stream_;
  PngChunkType type_{};
  std::uint32_t length_ = 0;
  std::uint32_t left_ = 0;
  std::uint32_t crc_ = 0;
  bool crc_pending_ = false;
  bool cut_ = false;
};

}  // namespace qel
