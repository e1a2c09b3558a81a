// The functions of LibRaw the reader calls, bound when a camera raw file is first read.
#pragma once

#include <libraw/libraw.h>

#include "import/framework/shared_library.h"

namespace qel::raw {

struct Library {
  Library();
  bool Ok() const { return shared.Complete(); }

  SharedLibrary shared;
  decltype(::libraw_init)* libraw_init = nullptr;
  decltype(::libraw_close)* libraw_close = nullptr;
  decltype(::libraw_open_buffer)* libraw_open_buffer = nullptr;
  decltype(::libraw_set_progress_handler)* libraw_set_progress_handler = nullptr;
  decltype(::libraw_unpack)* libraw_unpack = nullptr;
  decltype(::libraw_dcraw_process)* libraw_dcraw_process = nullptr;
  decltype(::libraw_dcraw_make_mem_image)* libraw_dcraw_make_mem_image = nullptr;
  decltype(::libraw_dcraw_clear_mem)* libraw_dcraw_clear_mem = nullptr;
};

}  // namespace qel::raw
