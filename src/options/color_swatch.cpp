#include "options/color_swatch.h"

#include <QMouseEvent>
#include <QPainter>

namespace qel {

TColorSwatch::TColorSwatch(TColor color, QWidget* parent) : QWidget(parent), color_(color & 0xFFFFFF) {
  setFixedSize(40, 20);
  setFocusPolicy(Qt::NoFocus);
  setCursor(Qt::CrossCursor);
}

void TColorSwatch::SetColor(TColor color) {
  color &= 0xFFFFFF;
  if (color == color_) return;
  color_ = color;
  update();
}

void TColorSwatch::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor(RedOf(color_), GreenOf(color_), BlueOf(color_)));
  painter.setPen(Qt::black);
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TColorSwatch::mousePressEvent(QMouseEvent* event) {
  event->accept();
  emit MouseDown(event->button(), event->globalPosition().toPoint());
}

void TColorSwatch::mouseMoveEvent(QMouseEvent* event) {
  event->accept();
  emit MouseMove(event->globalPosition().toPoint());
}

void TColorSwatch::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  emit MouseUp(event->button());
}

}  // namespace qel
