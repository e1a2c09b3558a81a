#include "platform/mail.h"
#include "platform/run_program.h"

namespace qel {

namespace {

class XdgMail final : public Mail {
 public:
  bool SendToMailClient(const std::string& path) override {
    const std::optional<int> status = RunProgram({"xdg-email", "--attach", path});
    return status && *status == 0;
  }
};

}  // namespace

std::unique_ptr<Mail> MakeXdgMail() {
  return std::make_unique<XdgMail>();
}

}  // namespace qel
