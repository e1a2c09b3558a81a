// The main window's side of the options window: creating it and the three menu items
// that reach it.
#include <QPointer>

#include "app/form1.h"
#include "options/border_form.h"

namespace qel {

TBorderForm* TForm1::CreateOptionsWindow(std::string executable_path) {
  auto* options = new TBorderForm(*this, std::move(executable_path), this);
  // The handlers stay in this window's table; the options window may be gone first.
  const QPointer<TBorderForm> form(options);
  ConnectHandler("Resizeto1Click", [form] {
    if (form) form->Resizeto1Click();
  });
  ConnectHandler("Bordersettings1Click", [form] {
    if (form) form->ShowModal();
  });
  ConnectHandler("OWFilesClick", [form] {
    if (form) form->OWFilesClick();
  });
  return options;
}

}  // namespace qel
