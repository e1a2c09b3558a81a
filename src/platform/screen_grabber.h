// Reading back what the screen shows.
#pragma once

#include <QImage>
#include <QRect>
#include <memory>
#include <stdexcept>
#include <string_view>

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
  // Whether a grab can find what lies under a window: false where the window system
  // does not tell a window where it is (a Wayland session seen through Wayland itself).
  // The user then picks the area in the desktop's own screenshot tool (PickArea).
  virtual bool KnowsWindowPlace() { return true; }
  // The picture of an area the user picks on the desktop, as large as it comes. Throws
  // ECaptureUnavailable when the session gives no way to do that.
  virtual Picture PickArea() { throw ECaptureUnavailable(); }
};

// A picture of the whole desktop taken in one go, as the desktop's screenshot service
// hands it over.
class ScreenshotSource {
 public:
  virtual ~ScreenshotSource() = default;
  // The whole desktop (possibly in device pixels, larger than its size in points), or
  // with interactive the part the user picks in the desktop's screenshot tool; a null
  // image when the service cannot be reached, refuses or does not answer in time.
  virtual QImage TakeScreenshot(bool interactive) = 0;
};

// How the program sees the desktop.
enum class SessionKind {
  kX11,       // an X server's session: the server's own pixels are the screen's
  kXwayland,  // a Wayland session through its X server: the server sees only its own windows
  kWayland,   // a Wayland session through Wayland: no window learns where it is
};

// The session from the Qt platform's name ("xcb", "wayland", ...), WAYLAND_DISPLAY and
// XDG_SESSION_TYPE, never from what the screen shows.
SessionKind SessionKindOf(std::string_view qt_platform, std::string_view wayland_display,
                          std::string_view session_type);
// The session this process runs in (needs a QGuiApplication).
SessionKind CurrentSessionKind();

// The grabber for the session. In an X session the direct grab, whatever it sees (a
// desktop may well be black). In a Wayland session the screenshot service, whose
// picture of the whole desktop is cut to the area (scaled from device pixels to
// points); seen through Wayland itself, where the window's place is unknown, the
// capture under the window lets the user pick the area with the service instead. When
// the service fails, grabs throw ECaptureUnavailable.
std::unique_ptr<ScreenGrabber> MakeSessionScreenGrabber(std::unique_ptr<ScreenGrabber> direct,
                                                        std::unique_ptr<ScreenshotSource> service,
                                                        SessionKind session);

}  // namespace qel
