// The functions of libavif the reader calls, bound when an AVIF file is first read.
#pragma once

#include <avif/avif.h>

#include "import/framework/shared_library.h"

namespace qel::avif {

struct Library {
  Library();
  bool Ok() const { return shared.Complete(); }

  SharedLibrary shared;
  decltype(::avifDecoderCreate)* avifDecoderCreate = nullptr;
  decltype(::avifDecoderDestroy)* avifDecoderDestroy = nullptr;
  decltype(::avifDecoderSetIOMemory)* avifDecoderSetIOMemory = nullptr;
  decltype(::avifDecoderParse)* avifDecoderParse = nullptr;
  decltype(::avifDecoderNextImage)* avifDecoderNextImage = nullptr;
  decltype(::avifRGBImageSetDefaults)* avifRGBImageSetDefaults = nullptr;
  decltype(::avifImageYUVToRGB)* avifImageYUVToRGB = nullptr;
};

}  // namespace qel::avif
