// Owners of librsvg's handle, GLib's error record and cairo's surface and context.
#pragma once

#include <cairo.h>
#include <librsvg/rsvg.h>

namespace qel::svg {

class Error {
 public:
  Error() = default;
  ~Error() {
    if (error_) g_error_free(error_);
  }
  Error(const Error&) = delete;
  Error& operator=(const Error&) = delete;

  GError** Out() { return &error_; }

 private:
  GError* error_ = nullptr;
};

class Handle {
 public:
  // Parses the document; Get() is nullptr when librsvg refuses it.
  Handle(const guint8* data, gsize size) {
    Error error;
    handle_ = rsvg_handle_new_from_data(data, size, error.Out());
  }
  ~Handle() {
    if (handle_) g_object_unref(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  RsvgHandle* Get() const { return handle_; }

 private:
  RsvgHandle* handle_ = nullptr;
};

// A cairo surface drawing into pixels that someone else owns.
class Surface {
 public:
  Surface(unsigned char* pixels, int width, int height, int stride)
      : surface_(cairo_image_surface_create_for_data(pixels, CAIRO_FORMAT_ARGB32, width, height, stride)) {}
  ~Surface() {
    cairo_surface_finish(surface_);
    cairo_surface_destroy(surface_);
  }
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  cairo_surface_t* Get() const { return surface_; }
  bool Ok() const { return cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS; }

 private:
  cairo_surface_t* surface_;
};

class Context {
 public:
  explicit Context(const Surface& surface) : context_(cairo_create(surface.Get())) {}
  ~Context() { cairo_destroy(context_); }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  cairo_t* Get() const { return context_; }
  bool Ok() const { return cairo_status(context_) == CAIRO_STATUS_SUCCESS; }

 private:
  cairo_t* context_;
};

}  // namespace qel::svg
