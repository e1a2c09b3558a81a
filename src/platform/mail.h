// The hand-off of one file to the user's mail client, which opens a new message with
// the file attached.
#pragma once

#include <memory>
#include <string>

namespace qel {

class Mail {
 public:
  virtual ~Mail() = default;
  // Hands the file over; true when the mail client took the request. Waits until the
  // hand-off has finished.
  virtual bool SendToMailClient(const std::string& path) = 0;
};

// Runs "xdg-email --attach PATH" (found on PATH, no shell between): true exactly when
// the command ran and exited with status 0. The path is passed whole, commas included.
std::unique_ptr<Mail> MakeXdgMail();

}  // namespace qel
