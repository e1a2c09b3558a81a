// The errors of the program's own code below the user interface. Every error carries
// the text that the user sees: the viewer shows it in a message box, qel-convert prints
// it. The imaging library adds the errors of reading pictures (imaging/errors.h).
#pragma once

#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace qel {

class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A stream or file that could not take the bytes written to it.
class EWriteError : public Error {
 public:
  EWriteError() : Error("Stream write error") {}
  using Error::Error;
  EWriteError(const std::string& text, std::string reason) : Error(text), reason_(std::move(reason)) {}

  // The system's reason ("No space left on device") when the system refused the bytes;
  // "" otherwise.
  const std::string& Reason() const { return reason_; }

 private:
  std::string reason_;
};

// A file that could not be created: "Cannot create file "%s". %s".
class EFCreateError : public Error {
 public:
  using Error::Error;
};

// Replaces each "%s" of a message pattern, left to right, by the given texts
// ("%d" placeholders are filled by callers with std::to_string before calling).
std::string FormatMessage(std::string_view pattern, std::initializer_list<std::string_view> args);

// EFCreateError "Cannot create file "%s". %s": the name's full path (FullPath) and the
// system's reason for the error number.
[[noreturn]] void ThrowCreateError(const std::string& name, int error);

// EWriteError "Stream write error: %s" with the system's reason for the error number.
[[noreturn]] void ThrowWriteError(int error);

// Runs write (the writing of the file `name`); an EWriteError it throws comes out as
// EWriteError "Cannot write file "%s". %s": the name's full path and the system's
// reason (or, where the system gave none, the error's own text).
void NamingWriteErrors(const std::string& name, const std::function<void()>& write);

}  // namespace qel
