// The hand-off of one file to the user's mail client, which opens a new message with
// the file attached.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace qel {

class Mail {
 public:
  // Called once with whether the mail client took the request.
  using Answer = std::function<void(bool accepted)>;

  virtual ~Mail() = default;
  // Starts the hand-off and returns without waiting for it: a mail client that was not
  // running may keep the request open until the user closes it. The answer comes
  // through the event loop (or at once when the hand-off cannot even start). A hand-off
  // still open when the Mail object goes is not answered.
  virtual void SendToMailClient(const std::string& path, Answer answer) = 0;
  // The hand-offs started and not answered yet.
  virtual int Pending() const = 0;
};

// Runs "xdg-email --attach PATH" (found on PATH, no shell between, standard input from
// /dev/null): accepted exactly when the command ran and exited with status 0. The path
// is passed whole, commas included.
std::unique_ptr<Mail> MakeXdgMail();

}  // namespace qel
