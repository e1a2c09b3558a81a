// Bounded cursors over a codec's input and output. Every run-length and dictionary
// decoder reads through a ByteSource and writes through a ByteSink, so the packed and
// unpacked sizes given by the caller are the hard limits whatever the data says.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qel::codec {

class ByteSource {
 public:
  ByteSource(const std::uint8_t* data, std::size_t size) : pos_(data), end_(data + size) {}

  std::size_t Left() const { return static_cast<std::size_t>(end_ - pos_); }
  bool Empty() const { return pos_ == end_; }
  const std::uint8_t* Position() const { return pos_; }

  // The next byte; only call when the source is not empty.
  std::uint8_t Take() { return *pos_++; }
  // Skips up to count bytes; returns how many were skipped.
  std::size_t Skip(std::size_t count) {
    count = std::min(count, Left());
    pos_ += count;
    return count;
  }

 private:
  const std::uint8_t* pos_;
  const std::uint8_t* end_;
};

class ByteSink {
 public:
  ByteSink(std::uint8_t* data, std::size_t size) : pos_(data), end_(data + size) {}

  std::size_t Room() const { return static_cast<std::size_t>(end_ - pos_); }
  bool Full() const { return pos_ == end_; }
  std::uint8_t* Position() const { return pos_; }

  // Writes one byte unless the sink is full.
  void Put(std::uint8_t value) {
    if (pos_ != end_) *pos_++ = value;
  }
  // Writes value count times, cut at the end of the sink.
  void Fill(std::uint8_t value, std::size_t count) {
    count = std::min(count, Room());
    if (count == 0) return;  // an empty sink may have no buffer at all
    std::memset(pos_, value, count);
    pos_ += count;
  }
  // Moves up to count bytes from the source, cut at whichever end comes first.
  void CopyFrom(ByteSource& source, std::size_t count) {
    count = std::min({count, Room(), source.Left()});
    if (count == 0) return;
    std::memcpy(pos_, source.Position(), count);
    source.Skip(count);
    pos_ += count;
  }
  // Skips up to count bytes of output without writing them.
  void Advance(std::size_t count) { pos_ += std::min(count, Room()); }

 private:
  std::uint8_t* pos_;
  std::uint8_t* end_;
};

}  // namespace qel::codec
