// Owners of libheif's context, image handle, decoded image and decoding options.
#pragma once

#include "import/heif/library.h"

namespace qel::heif {

class Context {
 public:
  explicit Context(const Library& library) : library_(library), context_(library.heif_context_alloc()) {}
  ~Context() {
    if (context_) library_.heif_context_free(context_);
  }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  heif_context* Get() const { return context_; }

 private:
  const Library& library_;
  heif_context* context_;
};

class ImageHandle {
 public:
  explicit ImageHandle(const Library& library) : library_(library) {}
  ~ImageHandle() {
    if (handle_) library_.heif_image_handle_release(handle_);
  }
  ImageHandle(const ImageHandle&) = delete;
  ImageHandle& operator=(const ImageHandle&) = delete;

  heif_image_handle* Get() const { return handle_; }
  heif_image_handle** Out() { return &handle_; }

 private:
  const Library& library_;
  heif_image_handle* handle_ = nullptr;
};

class Image {
 public:
  explicit Image(const Library& library) : library_(library) {}
  ~Image() {
    if (image_) library_.heif_image_release(image_);
  }
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;

  heif_image* Get() const { return image_; }
  heif_image** Out() { return &image_; }

 private:
  const Library& library_;
  heif_image* image_ = nullptr;
};

class DecodingOptions {
 public:
  explicit DecodingOptions(const Library& library)
      : library_(library), options_(library.heif_decoding_options_alloc()) {}
  ~DecodingOptions() { library_.heif_decoding_options_free(options_); }
  DecodingOptions(const DecodingOptions&) = delete;
  DecodingOptions& operator=(const DecodingOptions&) = delete;

  heif_decoding_options* Get() const { return options_; }

 private:
  const Library& library_;
  heif_decoding_options* options_;
};

}  // namespace qel::heif
