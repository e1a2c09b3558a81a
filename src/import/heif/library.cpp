#include "import/heif/library.h"

namespace qel::heif {

Library::Library() : shared(QEL_HEIF_LIBRARY) {
  QEL_BIND_FUNCTION(shared, heif_context_alloc);
  QEL_BIND_FUNCTION(shared, heif_context_free);
  QEL_BIND_FUNCTION(shared, heif_context_set_maximum_image_size_limit);
  QEL_BIND_FUNCTION(shared, heif_context_read_from_memory_without_copy);
  QEL_BIND_FUNCTION(shared, heif_context_get_primary_image_handle);
  QEL_BIND_FUNCTION(shared, heif_image_handle_release);
  QEL_BIND_FUNCTION(shared, heif_image_handle_get_width);
  QEL_BIND_FUNCTION(shared, heif_image_handle_get_height);
  QEL_BIND_FUNCTION(shared, heif_image_handle_get_luma_bits_per_pixel);
  QEL_BIND_FUNCTION(shared, heif_image_handle_has_alpha_channel);
  QEL_BIND_FUNCTION(shared, heif_image_handle_is_premultiplied_alpha);
  QEL_BIND_FUNCTION(shared, heif_decoding_options_alloc);
  QEL_BIND_FUNCTION(shared, heif_decoding_options_free);
  QEL_BIND_FUNCTION(shared, heif_decode_image);
  QEL_BIND_FUNCTION(shared, heif_image_release);
  QEL_BIND_FUNCTION(shared, heif_image_get_plane_readonly);
  QEL_BIND_FUNCTION(shared, heif_image_get_width);
  QEL_BIND_FUNCTION(shared, heif_image_get_height);
  QEL_BIND_FUNCTION(shared, heif_image_get_bits_per_pixel);
}

}  // namespace qel::heif
