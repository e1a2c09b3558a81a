// The desktop's "open" for addresses: a web address opens in the default browser.
#pragma once

#include <memory>
#include <string>

namespace qel {

class Shell {
 public:
  virtual ~Shell() = default;
  // Asks the desktop to open the address; does not wait and reports nothing.
  virtual void OpenAddress(const std::string& address) = 0;
};

// Starts "xdg-open ADDRESS" detached.
std::unique_ptr<Shell> MakeXdgShell();

}  // namespace qel
