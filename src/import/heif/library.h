// The functions of libheif the reader calls, bound when a HEIF file is first read.
#pragma once

#include <libheif/heif.h>

#include "import/framework/shared_library.h"

namespace qel::heif {

struct Library {
  Library();
  bool Ok() const { return shared.Complete(); }

  SharedLibrary shared;
  decltype(::heif_context_alloc)* heif_context_alloc = nullptr;
  decltype(::heif_context_free)* heif_context_free = nullptr;
  decltype(::heif_context_set_maximum_image_size_limit)* heif_context_set_maximum_image_size_limit = nullptr;
  decltype(::heif_context_read_from_memory_without_copy)* heif_context_read_from_memory_without_copy =
      nullptr;
  decltype(::heif_context_get_primary_image_handle)* heif_context_get_primary_image_handle = nullptr;
  decltype(::heif_image_handle_release)* heif_image_handle_release = nullptr;
  decltype(::heif_image_handle_get_width)* heif_image_handle_get_width = nullptr;
  decltype(::heif_image_handle_get_height)* heif_image_handle_get_height = nullptr;
  decltype(::heif_image_handle_get_luma_bits_per_pixel)* heif_image_handle_get_luma_bits_per_pixel = nullptr;
  decltype(::heif_image_handle_has_alpha_channel)* heif_image_handle_has_alpha_channel = nullptr;
  decltype(::heif_image_handle_is_premultiplied_alpha)* heif_image_handle_is_premultiplied_alpha = nullptr;
  decltype(::heif_decoding_options_alloc)* heif_decoding_options_alloc = nullptr;
  decltype(::heif_decoding_options_free)* heif_decoding_options_free = nullptr;
  decltype(::heif_decode_image)* heif_decode_image = nullptr;
  decltype(::heif_image_release)* heif_image_release = nullptr;
  decltype(::heif_image_get_plane_readonly)* heif_image_get_plane_readonly = nullptr;
  decltype(::heif_image_get_width)* heif_image_get_width = nullptr;
  decltype(::heif_image_get_height)* heif_image_get_height = nullptr;
  decltype(::heif_image_get_bits_per_pixel)* heif_image_get_bits_per_pixel = nullptr;
};

}  // namespace qel::heif
