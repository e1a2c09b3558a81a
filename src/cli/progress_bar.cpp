#include "cli/progress_bar.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace qel::cli {

namespace {

constexpr int kBarCells = 20;
constexpr std::size_t kMinNameColumns = 8;

bool ContinuationByte(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

// Appends the name with control characters replaced, stopping before a character that
// would make the text longer than room columns. Returns the columns appended.
std::size_t AppendName(std::string& line, std::string_view name, std::size_t room) {
  std::size_t columns = 0;
  std::size_t i = 0;
  while (i < name.size()) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    std::size_t length = 1;
    if (c >= 0xC0) {
      while (i + length < name.size() && length < 4 &&
             ContinuationByte(static_cast<unsigned char>(name[i + length])))
        ++length;
    }
    if (columns + 1 > room) break;
    if (c < 0x20 || c == 0x7F || ContinuationByte(c) || (c >= 0x80 && length == 1)) {
      line.push_back('?');
    } else {
      line.append(name.substr(i, length));
    }
    ++columns;
    i += length;
  }
  return columns;
}

}  // namespace

std::string ProgressLineText(int done, int total, std::string_view current, int width) {
  const std::size_t room = std::size_t(std::max(width - 1, 0));
  std::string line = std::to_string(done);
  line += '/';
  line += std::to_string(total);
  // The bar only where it leaves some room for the name.
  if (line.size() + 3 + kBarCells + 1 + kMinNameColumns <= room) {
    const int filled = total > 0 ? int(std::int64_t(std::clamp(done, 0, total)) * kBarCells / total) : 0;
    line += " [";
    line.append(std::size_t(filled), '=');
    line.append(std::size_t(kBarCells - filled), ' ');
    line += ']';
  }
  if (!current.empty()) line += ' ';
  if (line.size() >= room) {
    line.resize(room);
    return line;
  }
  AppendName(line, current, room - line.size());
  return line;
}

int TerminalWidth(int fd) {
  winsize size{};
  if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

TerminalProgressBar::TerminalProgressBar(int fd) : fd_(fd), active_(::isatty(fd) == 1) {}

void TerminalProgressBar::Show(int done, int total, std::string_view current) {
  if (!active_) return;
  const int width = TerminalWidth(fd_);
  const std::string line = ProgressLineText(done, total, current, width);
  // Columns of the new line; spaces wipe what is left of a longer one (within the
  // width, should the terminal have become narrower).
  std::size_t columns = 0;
  for (const char c : line) columns += ContinuationByte(static_cast<unsigned char>(c)) ? 0 : 1;
  const std::size_t wipe = std::min(shown_, std::size_t(std::max(width - 1, 0)));
  std::string text(1, '\r');
  text += line;
  if (columns < wipe) text.append(wipe - columns, ' ');
  Write(text);
  shown_ = columns;
}

void TerminalProgressBar::Clear() {
  if (!active_ || shown_ == 0) return;
  std::string text(shown_ + 2, ' ');
  text.front() = text.back() = '\r';
  Write(text);
  shown_ = 0;
}

void TerminalProgressBar::Write(const std::string& text) const {
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = ::write(fd_, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // a terminal that went away: the bar is only a courtesy
    written += std::size_t(n);
  }
}

}  // namespace qel::cli
