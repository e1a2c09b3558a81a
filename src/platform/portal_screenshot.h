// The desktop portal's screenshot service (org.freedesktop.portal.Screenshot) over
// D-Bus: how Wayland desktops let a program read the screen.
#pragma once

#include <QDBusConnection>
#include <chrono>
#include <memory>

#include "platform/screen_grabber.h"

namespace qel {

// How long the portal may take to answer before the screenshot counts as refused. The
// first screenshot may wait for the user to allow it.
inline constexpr std::chrono::milliseconds kPortalAnswerTime{30000};

// Asks the portal on the bus for a screenshot (of the whole desktop, or interactive)
// and loads the file it names. The window's thread keeps handling events (but no user
// input) while it waits.
std::unique_ptr<ScreenshotSource> MakePortalScreenshot(
    QDBusConnection bus, std::chrono::milliseconds answer_time = kPortalAnswerTime);

}  // namespace qel
