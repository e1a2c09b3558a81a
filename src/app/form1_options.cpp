// The main window's side of the options window: creating it and the three menu items
// that reach it.
#include "app/form1.h"
#include "options/border_form.h"

namespace qel {

void TForm1::ConnectOptionsCommands() {
  Bind(CommandId::kResizeto1, &TForm1::Resizeto1Click);
  Bind(CommandId::kBordersettings1, &TForm1::Bordersettings1Click);
  Bind(CommandId::kOWFiles, &TForm1::OWFilesClick);
}

TBorderForm* TForm1::CreateOptionsWindow(std::string executable_path) {
  auto* options = new TBorderForm(*this, std::move(executable_path), this);
  // The options window may be gone before this one: the pointer then reads null.
  options_form_ = options;
  return options;
}

void TForm1::Resizeto1Click() {
  if (options_form_) options_form_->Resizeto1Click();
}

void TForm1::Bordersettings1Click() {
  if (options_form_) options_form_->ShowModal();
}

void TForm1::OWFilesClick() {
  if (options_form_) options_form_->OWFilesClick();
}

}  // namespace qel
