// Reading back what the screen shows.
#pragma once

#include <QImage>
#include <QRect>
#include <memory>
#include <stdexcept>

#include "imaging/picture.h"

namespace qel {

inline constexpr const char* kCaptureUnavailable = "Screen capture is not available in this session.";

// The session gives no way to read the screen (a Wayland session without a desktop
// portal that answers, say).
class ECaptureUnavailable : public std::runtime_error {
 public:
  ECaptureUnavailable() : std::runtime_error(kCaptureUnavailable) {}
};

class ScreenGrabber {
 public:
  virtual ~ScreenGrabber() = default;
  // The pixels the screen shows inside the rectangle (global coordinates), as a picture
  // of the rectangle's size; whatever lies outside every screen comes out black. An
  // empty rectangle gives an empty picture. Throws ECaptureUnavailable when the screen
  // cannot be read: never a black picture instead.
  virtual Picture Grab(const QRect& area) = 0;
  // Whether each grab reads the screen as it is, cheaply enough for every mouse move
  // (the colour picker's drag). When not, a drag takes one picture of the whole
  // desktop as it starts and reads its pixels from that.
  virtual bool ReadsLive() { return true; }
};

// A picture of the whole desktop taken in one go, as the desktop's screenshot service
// hands it over.
class ScreenshotSource {
 public:
  virtual ~ScreenshotSource() = default;
  // The whole desktop (possibly in device pixels, larger than its size in points), or
  // a null image when the service cannot be reached, refuses or does not answer in time.
  virtual QImage TakeScreenshot() = 0;
};

// The grabber for the session: the direct grab, unless the session is a Wayland one
// (where it sees none of the native windows) or the direct grab turns out to see a
// black desktop; then the screenshot service, whose picture of the whole desktop is cut
// to the area (scaled from device pixels to points). When that fails too, grabs throw
// ECaptureUnavailable.
std::unique_ptr<ScreenGrabber> MakeSessionScreenGrabber(std::unique_ptr<ScreenGrabber> direct,
                                                        std::unique_ptr<ScreenshotSource> service,
                                                        bool wayland_session);
// Whether this process runs in a Wayland session (WAYLAND_DISPLAY is set), also when it
// shows its windows through the X server of that session.
bool InWaylandSession();

}  // namespace qel
