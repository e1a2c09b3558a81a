// A small rectangle filled with a colour, reporting the mouse to its owner.
#pragma once

#include <QWidget>

#include "imaging/picture.h"

namespace qel {

class TColorSwatch : public QWidget {
  Q_OBJECT

 public:
  explicit TColorSwatch(TColor color, QWidget* parent = nullptr);

  TColor Color() const { return color_; }
  // Only the red, green and blue bytes are kept.
  void SetColor(TColor color);

  QSize sizeHint() const override { return {40, 20}; }

 signals:
  // pos is global: moves keep arriving while a button pressed on the swatch is held,
  // wherever the pointer goes on the screen.
  void MouseDown(Qt::MouseButton button, QPoint global_pos);
  void MouseMove(QPoint global_pos);
  void MouseUp(Qt::MouseButton button);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  TColor color_;
};

}  // namespace qel
