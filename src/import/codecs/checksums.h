// The checksums of the PNG and zlib formats.
#pragma once

#include <cstdint>
#include <span>

namespace qel {

// CRC-32 (IEEE 802.3 polynomial, reflected, initial and final inversion). Continue a
// running checksum by passing the previous result as crc; start with 0.
std::uint32_t Crc32(std::span<const std::uint8_t> data, std::uint32_t crc = 0);

// Adler-32 (modulus 65521). Continue a running checksum by passing the previous result
// as adler; start with 1.
std::uint32_t Adler32(std::span<const std::uint8_t> data, std::uint32_t adler = 1);

}  // namespace qel
