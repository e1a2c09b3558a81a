// The common run of a codec target: the rest of the input decoded into an output of
// exactly the size asked for, so that the sanitizers catch any read past the input or
// write past the output.
#pragma once

#include <vector>

#include "fuzz_input.h"
#include "import/codecs/decoder.h"

namespace qel::fuzz {

// Decodes the rest of in into unpacked bytes with a decoder that leaves the caller's
// pointers where they were.
inline void RunDecoder(TDecoder& decoder, FuzzInput& in, std::size_t unpacked) {
  std::vector<std::uint8_t> out(unpacked);
  const std::uint8_t* source = in.Rest();
  std::uint8_t* dest = out.data();
  decoder.DecodeInit();
  decoder.Decode(source, dest, in.RestSize(), out.size());
  decoder.DecodeEnd();
  Require(source == in.Rest() && dest == out.data());
}

}  // namespace qel::fuzz
