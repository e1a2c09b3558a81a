// The application object: Qt's, with the top-level handler for errors that escape
// an event handler.
#pragma once

#include <QApplication>

namespace qel {

class MessageBox;

class TApplication : public QApplication {
  Q_OBJECT

 public:
  TApplication(int& argc, char** argv);

  // Where escaped errors are shown (not owned; nullptr: they are dropped).
  void SetMessageBox(MessageBox* messages) { messages_ = messages; }

  // Delivers the event; an error that escapes its handler is shown in the message box
  // and the program goes on.
  bool notify(QObject* receiver, QEvent* event) override;

 private:
  MessageBox* messages_ = nullptr;
};

}  // namespace qel
