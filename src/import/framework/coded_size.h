// How large a picture the coded data of a file can plausibly describe. A header is
// only a claim: a file of a few bytes may announce 30000 x 30000 pixels, and the
// decoders of compressed formats would allocate for that before finding out that the
// data is missing. Readers check the claim against the bytes that follow the header
// before anything is allocated for the pixels.
#pragma once

#include <cstdint>
#include <string_view>

namespace qel {

// Pictures up to this many pixels are let through whatever the file's size (a small
// file may well describe a blank picture of moderate size); at 24 bits it is 12 MB.
inline constexpr std::uint64_t kPixelsAlwaysAllowed = std::uint64_t(1) << 22;

// Largest expansions of the codings, in pixels for each byte of coded data, with room
// to spare: deflate makes at most 1032 bytes of one; a GIF LZW code of 12 bits stands
// for at most a few thousand pixels; a Huffman-coded JPEG block of 64 pixels takes at
// least one bit for each of its components' DC values.
inline constexpr std::uint64_t kDeflateBytesPerByte = 1032;
inline constexpr std::uint64_t kLzwPixelsPerByte = 4096;
inline constexpr std::uint64_t kJpegPixelsPerByte = 2048;
// Codings whose escapes (end of line, end of picture, skips, rows or strips sharing
// data) let a few bytes stand for any number of pixels: a generous bound that honest
// files stay far below, in pixels and in bytes of unpacked rows (LZW makes at most
// some 2700 bytes of one).
inline constexpr std::uint64_t kSkippingCodePixelsPerByte = 1024;
inline constexpr std::uint64_t kSkippingCodeBytesPerByte = 4096;
// Fax coding gives a blank row one bit whatever its width; a blank page of some 30
// million pixels takes less than a kilobyte.
inline constexpr std::uint64_t kFaxBytesPerByte = 8192;

// Refuses, with "Cannot load image. The %s file holds too little data for a picture of
// %d x %d pixels.", a picture of more than kPixelsAlwaysAllowed pixels that `available`
// bytes of data cannot describe at `pixels_per_byte`. Checks the picture limits too.
void CheckCodedSize(std::string_view format, std::int64_t width, std::int64_t height, std::uint64_t available,
                    std::uint64_t pixels_per_byte);

// The same for data whose expansion is known in bytes: `unpacked` bytes of pixel data
// that `available` coded bytes must make at `bytes_per_byte`.
void CheckCodedBytes(std::string_view format, std::int64_t width, std::int64_t height, std::uint64_t unpacked,
                     std::uint64_t available, std::uint64_t bytes_per_byte);

}  // namespace qel
