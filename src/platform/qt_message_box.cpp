#include <QApplication>
#include <QMessageBox>

#include "platform/qt_services.h"

namespace qel {

namespace {

class QtMessageBox final : public MessageBox {
 public:
  void Show(QWidget* parent, const std::string& text) override {
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), QString::fromStdString(text),
                    QMessageBox::Ok, parent);
    box.exec();
  }
  void ShowWarning(QWidget* parent, const std::string& text) override {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"), QString::fromStdString(text),
                    QMessageBox::Ok, parent);
    box.exec();
  }
};

}  // namespace

std::unique_ptr<MessageBox> MakeQtMessageBox() {
  return std::make_unique<QtMessageBox>();
}

}  // namespace qel
