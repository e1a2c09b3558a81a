// The drawing surface of the main window: shows the current picture stretched into
// DrawRect, the rectangle that also gives the title its size and maps a selection
// back to picture pixels.
#pragma once

#include <QRect>
#include <QWidget>
#include <optional>

#include "imaging/picture.h"

namespace qel {

// The rectangle in which a w x h picture is drawn inside a cw x ch control. With
// stretch, or with proportional and a picture larger than the control, the picture is
// scaled: keeping its aspect when proportional (the quotient or product with the
// aspect formed in extended precision and truncated), filling the control otherwise.
// Else the picture keeps its own size. The rectangle starts at (0, 0).
TRect ComputeDrawRect(int w, int h, int cw, int ch, bool stretch, bool proportional);

class TImageRect : public QWidget {
  Q_OBJECT

 public:
  explicit TImageRect(QWidget* parent = nullptr);

  // The picture to show; not owned, must outlive the control (nullptr: none).
  void SetPicture(const Picture* picture);
  const Picture* GetPicture() const { return picture_; }
  // To be called after the picture changed: repaints and, while the control is not
  // aligned to its parent, takes the size of a non-empty picture.
  void PictureChanged();

  // "Allow oversize": scale small pictures up as well.
  bool Stretch() const { return stretch_; }
  void SetStretch(bool on);
  // "Fit image to window": keep the aspect when scaling, and fill the client area.
  bool Proportional() const { return proportional_; }
  void SetProportional(bool on);
  // Whether the control fills its parent's client area (the owner sizes it then).
  // Losing the alignment gives the control the picture's own size (0 x 0 when empty).
  bool Aligned() const { return aligned_; }
  void SetAligned(bool on);

  // Where the picture is drawn, in the control's coordinates.
  TRect DrawRect() const;

  // A dotted frame drawn over the picture (the selection), in control coordinates, or
  // none. The picture's pixels are never touched by it.
  void SetSelectionFrame(std::optional<QRect> frame);
  std::optional<QRect> SelectionFrame() const { return frame_; }

 signals:
  void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
  void MouseMove(Qt::KeyboardModifiers modifiers, int x, int y);
  void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
  void DoubleClick();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  const Picture* picture_ = nullptr;
  bool stretch_ = false;
  bool proportional_ = true;
  bool aligned_ = true;
  std::optional<QRect> frame_;
};

}  // namespace qel
