// The functions of libjxl the reader calls, bound when a JPEG XL file is first read.
#pragma once

#include <jxl/decode.h>

#include "import/framework/shared_library.h"

namespace qel::jxl {

struct Library {
  Library();
  bool Ok() const { return shared.Complete(); }

  SharedLibrary shared;
  decltype(::JxlDecoderCreate)* JxlDecoderCreate = nullptr;
  decltype(::JxlDecoderDestroy)* JxlDecoderDestroy = nullptr;
  decltype(::JxlDecoderSubscribeEvents)* JxlDecoderSubscribeEvents = nullptr;
  decltype(::JxlDecoderSetInput)* JxlDecoderSetInput = nullptr;
  decltype(::JxlDecoderCloseInput)* JxlDecoderCloseInput = nullptr;
  decltype(::JxlDecoderProcessInput)* JxlDecoderProcessInput = nullptr;
  decltype(::JxlDecoderGetBasicInfo)* JxlDecoderGetBasicInfo = nullptr;
  decltype(::JxlDecoderImageOutBufferSize)* JxlDecoderImageOutBufferSize = nullptr;
  decltype(::JxlDecoderSetImageOutBuffer)* JxlDecoderSetImageOutBuffer = nullptr;
};

}  // namespace qel::jxl
