// Owners of librsvg's handle, GLib's error record and cairo's surface and context.
#pragma once

#include "import/svg/library.h"

namespace qel::svg {

class Error {
 public:
  explicit Error(const Library& library) : library_(library) {}
  ~Error() {
    if (error_) library_.g_error_free(error_);
  }
  Error(const Error&) = delete;
  Error& operator=(const Error&) = delete;

  GError** Out() { return &error_; }

 private:
  const Library& library_;
  GError* error_ = nullptr;
};

class Handle {
 public:
  // Parses the document; Get() is nullptr when librsvg refuses it.
  Handle(const Library& library, const guint8* data, gsize size) : library_(library) {
    Error error(library);
    handle_ = library.rsvg_handle_new_from_data(data, size, error.Out());
  }
  ~Handle() {
    if (handle_) library_.g_object_unref(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  RsvgHandle* Get() const { return handle_; }

 private:
  const Library& library_;
  RsvgHandle* handle_ = nullptr;
};

// A cairo surface drawing into pixels that someone else owns.
class Surface {
 public:
  Surface(const Library& library, unsigned char* pixels, int width, int height, int stride)
      : library_(library),
        surface_(library.cairo_image_surface_create_for_data(pixels, CAIRO_FORMAT_ARGB32, width, height,
                                                             stride)) {}
  ~Surface() {
    library_.cairo_surface_finish(surface_);
    library_.cairo_surface_destroy(surface_);
  }
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  cairo_surface_t* Get() const { return surface_; }
  bool Ok() const { return library_.cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS; }

 private:
  const Library& library_;
  cairo_surface_t* surface_;
};

class Context {
 public:
  Context(const Library& library, const Surface& surface)
      : library_(library), context_(library.cairo_create(surface.Get())) {}
  ~Context() { library_.cairo_destroy(context_); }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  cairo_t* Get() const { return context_; }
  bool Ok() const { return library_.cairo_status(context_) == CAIRO_STATUS_SUCCESS; }

 private:
  const Library& library_;
  cairo_t* context_;
};

}  // namespace qel::svg
