#include <QColorDialog>

#include "platform/qt_services.h"

namespace qel {

namespace {

class QtColorDialog final : public ColorDialog {
 public:
  std::optional<TColor> ChooseColor(QWidget* parent, TColor initial) override {
    QColorDialog dialog(QColor(RedOf(initial), GreenOf(initial), BlueOf(initial)), parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QColor chosen = dialog.selectedColor();
    if (!chosen.isValid()) return std::nullopt;
    return RGBColor(std::uint8_t(chosen.red()), std::uint8_t(chosen.green()), std::uint8_t(chosen.blue()));
  }
};

}  // namespace

std::unique_ptr<ColorDialog> MakeQtColorDialog() {
  return std::make_unique<QtColorDialog>();
}

}  // namespace qel
