// The hint a first start shows over the picture: "Right-click for the menu". It goes at
// the first key, click or wheel turn, or after a few seconds, and comes once: the
// settings file remembers it under a key of its own, which older files simply lack.
#pragma once

#include <QLabel>
#include <chrono>

#include "options/settings_file.h"

namespace qel {

inline constexpr const char* kStartHintText = "Right-click for the menu";
inline constexpr const char* kStartHintKey = "MenuHintShown";
inline constexpr std::chrono::milliseconds kStartHintTime{6000};

// Shows the hint over the window unless the settings file says it was shown, and then
// writes that it was (writes is false where no settings file is kept: the hint then
// shows at every start). A file that cannot be written only means the hint comes again.
// Returns the hint (owned by the window, gone once it has been seen), or nullptr.
QLabel* ShowStartHintOnce(QWidget* window, const SettingsLocation& settings, bool writes);

}  // namespace qel
