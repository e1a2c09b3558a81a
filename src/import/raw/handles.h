// Owners of LibRaw's processor and of the picture it makes in memory.
#pragma once

#include <libraw/libraw.h>

namespace qel::raw {

class Processor {
 public:
  Processor() : data_(libraw_init(0)) {}
  ~Processor() {
    if (data_) libraw_close(data_);
  }
  Processor(const Processor&) = delete;
  Processor& operator=(const Processor&) = delete;

  // nullptr when it could not be made.
  libraw_data_t* Get() const { return data_; }

 private:
  libraw_data_t* data_;
};

class MemImage {
 public:
  explicit MemImage(libraw_data_t* data) : image_(libraw_dcraw_make_mem_image(data, &error_)) {}
  ~MemImage() {
    if (image_) libraw_dcraw_clear_mem(image_);
  }
  MemImage(const MemImage&) = delete;
  MemImage& operator=(const MemImage&) = delete;

  // nullptr when it could not be made.
  const libraw_processed_image_t* Get() const { return image_; }

 private:
  int error_ = 0;
  libraw_processed_image_t* image_;
};

}  // namespace qel::raw
