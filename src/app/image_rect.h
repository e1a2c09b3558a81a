// The drawing surface of the main window: shows the current picture in DrawRect, the
// rectangle that also gives the title its size and maps a selection back to picture
// pixels.
//
// Where: the picture is centred in the control when it is smaller than it. Mouse
// positions are reported in control coordinates, which start at the drawn picture's
// top-left corner, so DrawRect always starts at (0, 0) in them.
//
// How it is stretched: at its own size the picture's exact pixels; drawn smaller, the
// picture resampled with the program's own resampler and the filter of the options
// (what "Resize image" would make) to the size it covers on the screen in device
// pixels, computed once for each picture and drawn size on a helper thread; drawn
// larger, a smooth scaling. Until the resampled picture is there, and while the window
// is being resized, a quicker smooth scaling stands in.
//
// Zoom: by default the picture follows "Fit image to window" and "Allow oversize"
// (sizes in the window's logical pixels). Once the user zooms, the picture is drawn at
// a scale of its own (device pixels per picture pixel; 1 shows each picture pixel on
// one pixel of the screen), may be panned when larger than the control, and DrawRect
// and the control coordinates count device pixels.
#pragma once

#include <QRect>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdint>
#include <optional>

#include "app/display_resampler.h"
#include "app/selection.h"
#include "imaging/picture.h"
#include "imaging/resample.h"

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
  // aligned to its parent nor zoomed, takes the size of a non-empty picture.
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

  // Where the picture is drawn, in control coordinates: from (0, 0) to its drawn size.
  TRect DrawRect() const;

  // --- Zoom and pan ---
  // Whether the user has zoomed away from the fit the switches give; the owner lets
  // the control fill its client area meanwhile.
  bool Zoomed() const { return zoomed_; }
  // Device pixels per picture pixel, as the picture is drawn now.
  double ViewScale() const;
  // Draws the picture at the scale with its top-left corner at the origin (device
  // pixels in the control), moved as little as needed to keep it within reach: a
  // picture smaller than the control is centred. Does nothing to an empty picture.
  void SetZoom(double scale, QPoint origin);
  // Back to the fit the switches give.
  void ResetZoom();
  // Moves a zoomed picture larger than the control by the distance (Qt's coordinates),
  // as far as it goes; false when it cannot move (not zoomed, or not larger).
  bool PanBy(QPoint distance);
  // Where the picture's top-left corner lies in the control, in device pixels.
  QPoint PictureOrigin() const;

  // Control coordinates (see above) of a point in Qt's coordinates of the control, and
  // back.
  TPoint ControlPoint(QPointF widget_point) const;
  QPoint WidgetPoint(TPoint control_point) const;

  // How pictures drawn smaller than their size are resampled: a filter number as the
  // resampler takes it, and whether the result is sharpened as after "Resize image".
  void SetResizeOptions(int filter, bool sharpen);
  // The resampled picture for the drawn size when it is there (nullptr while the
  // picture is drawn at its own size or larger, or the quick scaling stands in).
  const Picture* ResampledView() const;

  // How long a size must hold before the picture is resampled for it.
  static constexpr std::chrono::milliseconds kSettleDelay{150};

  // A dotted frame drawn over the picture (the selection), in control coordinates, or
  // none. The picture's pixels are never touched by it.
  void SetSelectionFrame(std::optional<QRect> frame);
  std::optional<QRect> SelectionFrame() const { return frame_; }

 signals:
  // Positions in control coordinates.
  void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
  void MouseMove(Qt::KeyboardModifiers modifiers, int x, int y);
  void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
  void DoubleClick();
  // A drag with the left button alone, by the distance (Qt's coordinates), which the
  // control did not take itself (it is not zoomed): the owner may scroll.
  void DragPan(QPoint distance);
  // The resampled picture for the drawn size has arrived and is shown.
  void ResampledViewReady();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  bool HasPicture() const { return picture_ && !picture_->Empty(); }
  // The drawn size in device pixels.
  QSize DeviceSize() const;
  // The control's size in device pixels.
  QSize DeviceArea() const;
  // Where the unzoomed picture starts: centred, in Qt's coordinates.
  QPoint CentringOffset() const;
  // Keeps a zoomed picture within reach: centred on an axis where it is smaller than
  // the control, else with no gap at either side.
  void ClampOrigin();
  void UpdatePanCursor();
  void PaintPicture(QPainter& painter);

  const Picture* picture_ = nullptr;
  bool stretch_ = false;
  bool proportional_ = true;
  bool aligned_ = true;
  std::optional<QRect> frame_;

  bool zoomed_ = false;
  double scale_ = 1;
  QPoint origin_;  // device pixels, while zoomed
  // The last point of a drag with the left button alone (Qt's global coordinates).
  std::optional<QPointF> pan_from_;

  // The resampled picture the drawn size calls for, if any.
  std::optional<TViewKey> WantedView() const;
  // Asks for the resampled picture the drawn size calls for, unless it is there or
  // asked for already; stops work for a size no longer drawn.
  void RequestView();
  void ViewArrived();

  int filter_ = kFilterLanczos3;
  bool sharpen_ = false;
  // Changes with every change of the picture.
  std::uint64_t picture_state_ = 0;
  std::optional<TViewKey> requested_;
  QTimer settle_timer_;
  TDisplayResampler resampler_;
};

}  // namespace qel
