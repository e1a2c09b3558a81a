// Helpers for the libFuzzer targets: parameters taken from the front of the input, the
// rest being the data handed to the code under test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace qel::fuzz {

// Reads little-endian parameters off the front of the fuzz input; past its end every
// parameter reads as 0.
class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::uint32_t U16() { return Byte() | std::uint32_t{Byte()} << 8; }
  std::uint32_t U24() { return U16() | std::uint32_t{Byte()} << 16; }

  // The unread rest. It ends where the fuzzer's buffer ends, so a read past it is caught.
  const std::uint8_t* Rest() const { return data_ + pos_; }
  std::size_t RestSize() const { return size_ - pos_; }
  // The next count bytes (fewer at the end) as a buffer of their own.
  std::vector<std::uint8_t> Take(std::size_t count) {
    if (count > size_ - pos_) count = size_ - pos_;
    std::vector<std::uint8_t> bytes(data_ + pos_, data_ + pos_ + count);
    pos_ += count;
    return bytes;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// Stops the run when a property the code under test promises does not hold.
inline void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace qel::fuzz
