// The functions of librsvg, and of the cairo and GLib it brings along, that the reader
// calls; bound when an SVG file is first read.
#pragma once

#include <cairo.h>
#include <librsvg/rsvg.h>

#include "import/framework/shared_library.h"

namespace qel::svg {

struct Library {
  Library();
  bool Ok() const { return shared.Complete(); }

  // librsvg; cairo's and GLib's functions are found through it, as it loads them.
  SharedLibrary shared;
  decltype(::rsvg_handle_new_from_data)* rsvg_handle_new_from_data = nullptr;
  decltype(::rsvg_handle_set_dpi)* rsvg_handle_set_dpi = nullptr;
  decltype(::rsvg_handle_get_intrinsic_size_in_pixels)* rsvg_handle_get_intrinsic_size_in_pixels = nullptr;
  decltype(::rsvg_handle_get_intrinsic_dimensions)* rsvg_handle_get_intrinsic_dimensions = nullptr;
  decltype(::rsvg_handle_render_document)* rsvg_handle_render_document = nullptr;
  decltype(::g_object_unref)* g_object_unref = nullptr;
  decltype(::g_error_free)* g_error_free = nullptr;
  decltype(::cairo_image_surface_create_for_data)* cairo_image_surface_create_for_data = nullptr;
  decltype(::cairo_surface_status)* cairo_surface_status = nullptr;
  decltype(::cairo_surface_flush)* cairo_surface_flush = nullptr;
  decltype(::cairo_surface_finish)* cairo_surface_finish = nullptr;
  decltype(::cairo_surface_destroy)* cairo_surface_destroy = nullptr;
  decltype(::cairo_create)* cairo_create = nullptr;
  decltype(::cairo_status)* cairo_status = nullptr;
  decltype(::cairo_destroy)* cairo_destroy = nullptr;
};

}  // namespace qel::svg
