#include "app/application.h"

#include <exception>
#include <new>

#include "platform/message_box.h"

namespace qel {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  std::string text;
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::bad_alloc&) {
    text = "Out of memory.";
  } catch (const std::exception& error) {
    text = error.what();
  } catch (...) {
    text = "An unknown error occurred.";
  }
  if (messages_) {
    try {
      messages_->Show(activeWindow(), text);
    } catch (...) {
    }
  }
  return false;
}

}  // namespace qel
