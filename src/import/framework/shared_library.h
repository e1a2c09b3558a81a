// SharedLibrary: a decoding library opened when a reader first needs it, not when the
// program starts. The libraries behind the newer formats pull in some eighty others
// (codecs, text layout, colour management); loading them all at start-up would cost
// every run of the converter and the viewer time and memory for files they never open.
//
// A library once opened stays in the process (closing it here only drops a reference),
// so opening it again for the next file costs a lookup.
#pragma once

#include <string>

namespace qel {

class SharedLibrary {
 public:
  // Opens the library by its file name (soname); Complete() is false when it cannot.
  explicit SharedLibrary(const char* file_name);
  ~SharedLibrary();
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // Points function at the library's function of that name (nullptr, and the library
  // no longer complete, when it has none).
  template <class Function>
  void Bind(Function*& function, const char* name) {
    function = reinterpret_cast<Function*>(Symbol(name));
    if (!function) complete_ = false;
  }

  // True when the library is open and every function bound so far was found.
  bool Complete() const { return handle_ != nullptr && complete_; }
  // The library's file name, for messages.
  const std::string& FileName() const { return file_name_; }

 private:
  void* Symbol(const char* name) const;

  std::string file_name_;
  void* handle_ = nullptr;
  bool complete_ = true;
};

// Binds the member of an interface table named after the library's function.
#define QEL_BIND_FUNCTION(library, name) (library).Bind(name, #name)

}  // namespace qel
