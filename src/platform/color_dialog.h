// The desktop's colour chooser.
#pragma once

#include <optional>

#include "imaging/picture.h"

class QWidget;

namespace qel {

class ColorDialog {
 public:
  virtual ~ColorDialog() = default;
  // Lets the user choose a colour, the dialog starting on initial (0x00BBGGRR) with the
  // custom colours shown. nullopt when the user cancels.
  virtual std::optional<TColor> ChooseColor(QWidget* parent, TColor initial) = 0;
};

}  // namespace qel
