// The desktop's clipboard, as far as pictures go.
#pragma once

#include <optional>

#include "imaging/picture.h"

namespace qel {

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // Whether the clipboard holds an image ("a bitmap").
  virtual bool HasBitmap() const = 0;
  // The image on the clipboard as a 24-bit picture (partly transparent pixels laid
  // over white); nullopt when there is none.
  virtual std::optional<Picture> GetBitmap() const = 0;
  // Puts the picture on the clipboard as an image other programs can paste.
  virtual void SetBitmap(const Picture& picture) = 0;
};

}  // namespace qel
