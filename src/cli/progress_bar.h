// A one-line progress bar for a terminal: redrawn in place with a carriage return, never
// wider than the terminal, and silent when the stream is not a terminal.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qel::cli {

// The line: "3/10 [======              ] name", cut to width - 1 columns (so that the
// terminal never wraps it); the bar is left out of a narrow terminal. Control
// characters of the name are shown as '?'; a multi-byte character is never cut in
// half. One column is counted per character.
std::string ProgressLineText(int done, int total, std::string_view current, int width);

// The terminal's width in columns, or 80 when it does not say.
int TerminalWidth(int fd);

class TerminalProgressBar {
 public:
  // Draws on fd when it is a terminal; otherwise every call does nothing.
  explicit TerminalProgressBar(int fd);
  ~TerminalProgressBar() { Clear(); }
  TerminalProgressBar(const TerminalProgressBar&) = delete;
  TerminalProgressBar& operator=(const TerminalProgressBar&) = delete;

  bool Active() const { return active_; }
  // Draws the line over the one shown before.
  void Show(int done, int total, std::string_view current);
  // Wipes the line, so that other text can be printed in its place.
  void Clear();

 private:
  void Write(const std::string& text) const;

  int fd_;
  bool active_;
  std::size_t shown_ = 0;  // columns of the line on screen
};

}  // namespace qel::cli
