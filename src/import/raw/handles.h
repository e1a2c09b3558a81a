// Owners of LibRaw's processor and of the picture it makes in memory.
#pragma once

#include "import/raw/library.h"

namespace qel::raw {

class Processor {
 public:
  explicit Processor(const Library& library) : library_(library), data_(library.libraw_init(0)) {}
  ~Processor() {
    if (data_) library_.libraw_close(data_);
  }
  Processor(const Processor&) = delete;
  Processor& operator=(const Processor&) = delete;

  // nullptr when it could not be made.
  libraw_data_t* Get() const { return data_; }

 private:
  const Library& library_;
  libraw_data_t* data_;
};

class MemImage {
 public:
  MemImage(const Library& library, libraw_data_t* data)
      : library_(library), image_(library.libraw_dcraw_make_mem_image(data, &error_)) {}
  ~MemImage() {
    if (image_) library_.libraw_dcraw_clear_mem(image_);
  }
  MemImage(const MemImage&) = delete;
  MemImage& operator=(const MemImage&) = delete;

  // nullptr when it could not be made.
  const libraw_processed_image_t* Get() const { return image_; }

 private:
  const Library& library_;
  int error_ = 0;
  libraw_processed_image_t* image_;
};

}  // namespace qel::raw
