// A number box with up and down arrows that keeps its value within a range: a value
// the program sets is clamped at once, a typed value when the box loses the keyboard
// focus, and text that is no number reads as the minimum.
#pragma once

#include <QAbstractSpinBox>
#include <cstdint>

namespace qel {

class TNumberBox : public QAbstractSpinBox {
  Q_OBJECT

 public:
  TNumberBox(int minimum, int maximum, int value, QWidget* parent = nullptr);

  int Minimum() const { return minimum_; }
  int Maximum() const { return maximum_; }
  // The number the text shows, unclamped while a typed value waits for the focus to
  // leave; the minimum when the text is no number.
  int Value() const;
  // Shows the value clamped to the range. Changed is emitted when the text changes.
  void SetValue(int value);
  // The value as the range allows it.
  int ClampedValue() const { return Clamp(Value()); }
  int Clamp(std::int64_t value) const;

  void stepBy(int steps) override;
  QValidator::State validate(QString& input, int& position) const override;
  QSize sizeHint() const override;

 signals:
  // Each change of the text, whether typed, stepped or set by the program.
  void Changed();

 protected:
  StepEnabled stepEnabled() const override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  int minimum_;
  int maximum_;
};

}  // namespace qel
