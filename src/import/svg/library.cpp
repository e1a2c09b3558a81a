#include "import/svg/library.h"

namespace qel::svg {

Library::Library() : shared(QEL_RSVG_LIBRARY) {
  QEL_BIND_FUNCTION(shared, rsvg_handle_new_from_data);
  QEL_BIND_FUNCTION(shared, rsvg_handle_set_dpi);
  QEL_BIND_FUNCTION(shared, rsvg_handle_get_intrinsic_size_in_pixels);
  QEL_BIND_FUNCTION(shared, rsvg_handle_get_intrinsic_dimensions);
  QEL_BIND_FUNCTION(shared, rsvg_handle_render_document);
  QEL_BIND_FUNCTION(shared, g_object_unref);
  QEL_BIND_FUNCTION(shared, g_error_free);
  QEL_BIND_FUNCTION(shared, cairo_image_surface_create_for_data);
  QEL_BIND_FUNCTION(shared, cairo_surface_status);
  QEL_BIND_FUNCTION(shared, cairo_surface_flush);
  QEL_BIND_FUNCTION(shared, cairo_surface_finish);
  QEL_BIND_FUNCTION(shared, cairo_surface_destroy);
  QEL_BIND_FUNCTION(shared, cairo_create);
  QEL_BIND_FUNCTION(shared, cairo_status);
  QEL_BIND_FUNCTION(shared, cairo_destroy);
}

}  // namespace qel::svg
