// Helpers of the reader tests: files built byte by byte, loads from memory, and
// damaged copies of a file.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "imaging/errors.h"
#include "imaging/stream.h"

namespace qel::test {

using Bytes = std::vector<std::uint8_t>;

// Appends numbers and texts in either byte order.
class ByteWriter {
 public:
  ByteWriter& U8(unsigned v) {
    bytes_.push_back(std::uint8_t(v));
    return *this;
  }
  ByteWriter& U16LE(unsigned v) { return U8(v & 0xFF).U8(v >> 8 & 0xFF); }
  ByteWriter& U32LE(std::uint32_t v) { return U16LE(v & 0xFFFF).U16LE(v >> 16); }
  ByteWriter& U16BE(unsigned v) { return U8(v >> 8 & 0xFF).U8(v & 0xFF); }
  ByteWriter& U32BE(std::uint32_t v) { return U16BE(v >> 16).U16BE(v & 0xFFFF); }
  ByteWriter& Append(const Bytes& b) {
    bytes_.insert(bytes_.end(), b.begin(), b.end());
    return *this;
  }
  // The text, then zero bytes up to size (cut at size).
  ByteWriter& Text(const std::string& text, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) U8(i < text.size() ? std::uint8_t(text[i]) : 0);
    return *this;
  }
  ByteWriter& Zeros(std::size_t count) {
    bytes_.insert(bytes_.end(), count, 0);
    return *this;
  }
  std::size_t Size() const { return bytes_.size(); }
  const Bytes& Get() const { return bytes_; }
  Bytes& Get() { return bytes_; }

 private:
  Bytes bytes_;
};

template <typename Graphic>
std::unique_ptr<Graphic> LoadBytes(const Bytes& bytes) {
  auto graphic = std::make_unique<Graphic>();
  TMemoryStream stream{std::span<const std::uint8_t>(bytes)};
  graphic->LoadFromStream(stream);
  return graphic;
}

// The message of the error a load raises, or "" when it succeeds.
template <typename Graphic>
std::string LoadError(const Bytes& bytes) {
  try {
    LoadBytes<Graphic>(bytes);
  } catch (const Error& e) {
    return e.what();
  }
  return "";
}

// Loads copies of bytes cut at every step-th offset from `from` on and expects each to
// fail with one of the library's errors, or (allow_empty) to leave an empty bitmap.
template <typename Graphic>
void ExpectCutCopiesFail(const Bytes& bytes, std::size_t from, std::size_t step, bool allow_empty = false) {
  for (std::size_t cut = from; cut < bytes.size(); cut += step) {
    const Bytes part(bytes.begin(), bytes.begin() + std::ptrdiff_t(cut));
    try {
      auto graphic = LoadBytes<Graphic>(part);
      EXPECT_TRUE(allow_empty && graphic->Empty()) << "a copy cut at " << cut << " loaded";
    } catch (const Error&) {
    }
  }
}

// Loads copies of bytes with a few bytes changed at random (the same ones every run)
// in the first `span` bytes: each must load or fail with one of the library's errors.
template <typename Graphic>
void ExpectChangedCopiesHandled(const Bytes& bytes, std::size_t span, int copies = 200) {
  std::mt19937 rng(12345);
  for (int i = 0; i < copies; ++i) {
    Bytes changed = bytes;
    for (int n = 1 + int(rng() % 4); n > 0; --n)
      changed[rng() % std::min(span, bytes.size())] = std::uint8_t(rng());
    try {
      LoadBytes<Graphic>(changed);
    } catch (const Error&) {
    }
  }
}

}  // namespace qel::test
