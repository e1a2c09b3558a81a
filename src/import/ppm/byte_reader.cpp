#include "import/ppm/byte_reader.h"

#include <algorithm>
#include <cstring>

#include "imaging/errors.h"
#include "imaging/stream.h"
#include "import/framework/messages.h"

namespace qel {

namespace {

[[noreturn]] void ReadError() {
  throw EInvalidGraphic(FormatMessage(msg::kStreamReadError, {"PPM"}));
}

bool IsDigit(std::uint8_t c) {
  return c >= '0' && c <= '9';
}

}  // namespace

bool PPMByteReader::Fill() {
  index_ = 0;
  fill_ = stream_.Read(buffer_.data(), buffer_.size());
  return fill_ > 0;
}

bool PPMByteReader::TryNext(std::uint8_t& byte) {
  if (index_ == fill_ && !Fill()) return false;
  byte = buffer_[index_++];
  return true;
}

std::uint8_t PPMByteReader::Next() {
  std::uint8_t byte;
  if (!TryNext(byte)) ReadError();
  return byte;
}

std::uint64_t PPMByteReader::Available() const {
  return (fill_ - index_) + stream_.Remaining();
}

void PPMByteReader::ReadRaw(std::uint8_t* out, std::size_t count) {
  while (count > 0) {
    if (index_ == fill_ && count >= buffer_.size()) {
      // Long runs of bytes go from the stream to their place without the buffer.
      if (stream_.Read(out, count) != count) ReadError();
      return;
    }
    if (index_ == fill_ && !Fill()) ReadError();
    const std::size_t n = std::min(count, fill_ - index_);
    std::memcpy(out, buffer_.data() + index_, n);
    index_ += n;
    out += n;
    count -= n;
  }
}

std::uint8_t PPMByteReader::SkipToDigit() {
  for (;;) {
    std::uint8_t c = Next();
    if (IsDigit(c)) return c;
    if (c == '#') {
      while (c != '\n' && c != '\r') c = Next();
    }
  }
}

PPMByteReader::Number PPMByteReader::ReadNumber() {
  Number number;
  std::uint8_t c = SkipToDigit();
  do {
    const std::uint32_t digit = c - '0';
    if (number.value > (0xFFFFFFFFu - digit) / 10) number.overflow = true;
    number.value = number.value * 10 + digit;  // wraps; the low bits stay exact
  } while (TryNext(c) && IsDigit(c));
  return number;
}

std::uint8_t PPMByteReader::ReadBitDigit() {
  return std::uint8_t((SkipToDigit() - '0') & 1);
}

}  // namespace qel
