#include "options/number_box.h"

#include <QLineEdit>
#include <algorithm>
#include <optional>

namespace qel {

namespace {

// An optional sign and decimal digits that fit 32 bits.
std::optional<int> ParseNumber(const QString& text) {
  bool ok = false;
  const int value = text.trimmed().toInt(&ok, 10);
  if (!ok) return std::nullopt;
  return value;
}

}  // namespace

TNumberBox::TNumberBox(int minimum, int maximum, int value, QWidget* parent)
    : QAbstractSpinBox(parent), minimum_(minimum), maximum_(std::max(minimum, maximum)) {
  setAccelerated(true);
  setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
  lineEdit()->setText(QString::number(Clamp(value)));
  connect(lineEdit(), &QLineEdit::textChanged, this, [this] { emit Changed(); });
}

int TNumberBox::Clamp(std::int64_t value) const {
  return int(std::clamp<std::int64_t>(value, minimum_, maximum_));
}

int TNumberBox::Value() const {
  return ParseNumber(lineEdit()->text()).value_or(minimum_);
}

void TNumberBox::SetValue(int value) {
  const QString text = QString::number(Clamp(value));
  if (lineEdit()->text() != text) lineEdit()->setText(text);
}

void TNumberBox::stepBy(int steps) {
  SetValue(Clamp(std::int64_t(ClampedValue()) + steps));
  selectAll();
}

QAbstractSpinBox::StepEnabled TNumberBox::stepEnabled() const {
  StepEnabled enabled = StepNone;
  const int value = Value();
  if (value < maximum_) enabled |= StepUpEnabled;
  if (value > minimum_) enabled |= StepDownEnabled;
  return enabled;
}

QValidator::State TNumberBox::validate(QString& input, int&) const {
  // Typing may pass through texts outside the range or without digits yet; only
  // characters that cannot belong to a number are refused.
  for (qsizetype i = 0; i < input.size(); ++i) {
    const QChar c = input.at(i);
    if (c.isDigit() && c.unicode() < 128) continue;
    if (i == 0 && (c == '+' || c == '-')) continue;
    return QValidator::Invalid;
  }
  return QValidator::Acceptable;
}

QSize TNumberBox::sizeHint() const {
  // Room for the widest value of the range.
  QSize hint = QAbstractSpinBox::sizeHint();
  const int digits = int(QString::number(maximum_).size());
  const int text = fontMetrics().horizontalAdvance(QString(digits + 1, '0'));
  hint.setWidth(std::max(hint.width(), text + 30));
  return hint;
}

void TNumberBox::focusOutEvent(QFocusEvent* event) {
  QAbstractSpinBox::focusOutEvent(event);
  const QString canonical = QString::number(ClampedValue());
  if (lineEdit()->text() != canonical) lineEdit()->setText(canonical);
}

}  // namespace qel
