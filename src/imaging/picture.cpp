#include "imaging/picture.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "imaging/errors.h"

namespace qel {

void CheckPictureSize(std::int64_t width, std::int64_t height) {
  if (width < 0 || height < 0 || width > kMaxPictureSide || height > kMaxPictureSide ||
      std::uint64_t(width) * std::uint64_t(height) > kMaxPicturePixels) {
    throw EOutOfResources("Cannot load image. A picture of " + std::to_string(width) + " x " +
                          std::to_string(height) + " pixels is larger than the " +
                          std::to_string(kMaxPicturePixels) + " pixels this tool handles.");
  }
}

std::unique_ptr<std::uint8_t[]> AllocatePixelMemory(std::size_t bytes, const char* what) {
  if (bytes == 0) return nullptr;
  std::unique_ptr<std::uint8_t[]> memory;
  try {
    memory = std::make_unique_for_overwrite<std::uint8_t[]>(bytes);
  } catch (const std::bad_alloc&) {
    throw EOutOfResources("Out of memory: a " + std::string(what) + " of " + std::to_string(bytes) +
                          " bytes cannot be made.");
  }
#ifdef MADV_POPULATE_WRITE
  // Blocks this large come straight from the kernel; asking for all their pages at once
  // costs far less than a page fault per 4 KiB. Older kernels refuse: nothing is lost.
  constexpr std::size_t kPopulateFrom = std::size_t(4) << 20;
  if (bytes >= kPopulateFrom) {
    const auto page = std::uintptr_t(::sysconf(_SC_PAGESIZE));
    const auto begin = (std::uintptr_t(memory.get()) + page - 1) & ~(page - 1);
    const auto end = (std::uintptr_t(memory.get()) + bytes) & ~(page - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
  }
#endif
  return memory;
}

namespace {

std::unique_ptr<std::uint8_t[]> Allocate(std::size_t bytes) {
  return AllocatePixelMemory(bytes, "picture");
}

}  // namespace

Picture::Picture(const Picture& other)
    : width_(other.width_),
      height_(other.height_),
      row_size_(other.row_size_),
      data_(Allocate(other.row_size_ * std::size_t(other.height_))),
      transparent_(other.transparent_),
      palette_(other.palette_) {
  if (data_) std::memcpy(data_.get(), other.data_.get(), row_size_ * std::size_t(height_));
}

Picture& Picture::operator=(const Picture& other) {
  if (this != &other) {
    Picture copy(other);
    *this = std::move(copy);
  }
  return *this;
}

void Picture::SetSizeUninitialized(int width, int height) {
  CheckPictureSize(width, height);
  if (width == 0 || height == 0) {
    // An empty picture keeps the side that was set, as a bitmap does, but holds no pixels.
    width_ = width;
    height_ = height;
    row_size_ = RowSizeFor(width);
    data_.reset();
    return;
  }
  std::size_t row = RowSizeFor(width);
  auto data = Allocate(row * std::size_t(height));
  data_ = std::move(data);
  width_ = width;
  height_ = height;
  row_size_ = row;
}

void Picture::SetSize(int width, int height) {
  SetSizeUninitialized(width, height);
  if (data_) std::memset(data_.get(), 0xFF, row_size_ * std::size_t(height_));
}

Picture Picture::Adopt(int width, int height, std::unique_ptr<std::uint8_t[]> rows) {
  CheckPictureSize(width, height);
  Picture picture;
  picture.width_ = width;
  picture.height_ = height;
  picture.row_size_ = RowSizeFor(width);
  picture.data_ = std::move(rows);
  return picture;
}

void Picture::Clear() {
  *this = Picture();
}

TColor Picture::TransparentColor() const {
  if (Empty()) return 0;
  return Pixel(0, height_ - 1);
}

TColor Picture::Pixel(int x, int y) const {
  const std::uint8_t* p = Row(y) + 3 * std::size_t(x);
  return RGBColor(p[2], p[1], p[0]);
}

void Picture::SetPixel(int x, int y, TColor c) {
  std::uint8_t* p = Row(y) + 3 * std::size_t(x);
  p[0] = BlueOf(c);
  p[1] = GreenOf(c);
  p[2] = RedOf(c);
}

TRect PictureRect(const Picture& picture) {
  return TRect{0, 0, picture.Width(), picture.Height()};
}

Picture NewPicture(int width, int height, TColor fill) {
  Picture picture;
  picture.SetSize(width, height);
  if (fill != kNoColor) FillPicture(picture, fill);
  return picture;
}

void FillRect(Picture& picture, const TRect& rect, TColor color) {
  int left = std::max(rect.left, 0);
  int top = std::max(rect.top, 0);
  int right = std::min(rect.right, picture.Width());
  int bottom = std::min(rect.bottom, picture.Height());
  if (left >= right || top >= bottom) return;
  const std::uint8_t bgr[3] = {BlueOf(color), GreenOf(color), RedOf(color)};
  // Build one filled row segment, then copy it into every row of the rectangle.
  std::vector<std::uint8_t> segment(std::size_t(right - left) * 3);
  for (std::size_t i = 0; i < segment.size(); i += 3) std::memcpy(&segment[i], bgr, 3);
  for (int y = top; y < bottom; ++y) {
    std::memcpy(picture.Row(y) + 3 * std::size_t(left), segment.data(), segment.size());
  }
}

void FillPicture(Picture& picture, TColor color) {
  FillRect(picture, PictureRect(picture), color);
}

void FillAndOutline(Picture& picture, TColor fill, TColor line) {
  if (fill != kNoColor) FillPicture(picture, fill);
  if (line == kNoColor || picture.Empty()) return;
  const int w = picture.Width(), h = picture.Height();
  FillRect(picture, {0, 0, w, 1}, line);
  FillRect(picture, {0, h - 1, w, h}, line);
  FillRect(picture, {0, 0, 1, h}, line);
  FillRect(picture, {w - 1, 0, w, h}, line);
}

std::uint8_t ClampToByte(std::int32_t value) {
  if (value < 0) return 0;
  if (value > 255) return 255;
  return static_cast<std::uint8_t>(value);
}

}  // namespace qel
