#include "import/rla/header.h"

#include <charconv>
#include <cstdlib>

namespace qel {

namespace {

std::int16_t I16(const std::uint8_t* p) {
  return std::int16_t((p[0] << 8) | p[1]);
}

// A text field: the bytes up to the first zero byte.
std::string Text(const std::uint8_t* p, std::size_t size) {
  std::string text;
  for (std::size_t i = 0; i < size && p[i] != 0; ++i) text.push_back(char(p[i]));
  return text;
}

RlaWindow Window(const std::uint8_t* p) {
  return RlaWindow{I16(p), I16(p + 2), I16(p + 4), I16(p + 6)};
}

// Field offsets.
constexpr std::size_t kWindow = 0, kActiveWindow = 8, kFrame = 16, kStorageType = 18, kChannelCount = 20,
                      kMatteCount = 22, kAuxiliaryCount = 24, kRevision = 26, kGamma = 28, kGammaSize = 16,
                      kChannelKind = 580, kChannelKindSize = 32, kChannelBits = 658, kMatteBits = 662;

}  // namespace

std::uint32_t RlaHeader::Height() const {
  const int span = int(active_window.top) - int(active_window.bottom);
  return std::uint32_t(std::abs(span) + 1);
}

std::string RlaHeader::Kind() const {
  std::string kind = channel_kind;
  for (char& c : kind) c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return kind;
}

float RlaHeader::Gamma() const {
  const char* first = gamma.data();
  const char* last = gamma.data() + gamma.size();
  while (first != last && *first == ' ') ++first;
  float value = 1.0f;
  const auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end == first) return 1.0f;
  for (const char* p = end; p != last; ++p)
    if (*p != ' ') return 1.0f;
  return value;
}

RlaHeader ParseRlaHeader(const std::array<std::uint8_t, kRlaHeaderSize>& bytes) {
  const std::uint8_t* b = bytes.data();
  RlaHeader h;
  h.window = Window(b + kWindow);
  h.active_window = Window(b + kActiveWindow);
  h.frame = I16(b + kFrame);
  h.storage_type = I16(b + kStorageType);
  h.channel_count = I16(b + kChannelCount);
  h.matte_count = I16(b + kMatteCount);
  h.auxiliary_count = I16(b + kAuxiliaryCount);
  h.revision = std::uint16_t(I16(b + kRevision));
  h.gamma = Text(b + kGamma, kGammaSize);
  h.channel_kind = Text(b + kChannelKind, kChannelKindSize);
  h.channel_bits = I16(b + kChannelBits);
  h.matte_bits = I16(b + kMatteBits);
  return h;
}

}  // namespace qel
