// Exception classes of the imaging library. Every error carries the text that the
// user sees: the viewer shows it in a message box, qel-convert prints it.
#pragma once

#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>

namespace qel {

class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A file that a reader cannot decode (wrong signature, unsupported feature, ...).
class EInvalidGraphic : public Error {
 public:
  using Error::Error;
};

// A stream that ended before the bytes a reader asked for.
class EReadError : public Error {
 public:
  EReadError() : Error("Stream read error") {}
  using Error::Error;
};

// A stream that could not take the bytes written to it.
class EWriteError : public Error {
 public:
  EWriteError() : Error("Stream write error") {}
  using Error::Error;
};

// A file that could not be created: "Cannot create file "%s". %s".
class EFCreateError : public Error {
 public:
  using Error::Error;
};

// A file that could not be opened for reading: "Cannot open file "%s". %s".
class EFOpenError : public Error {
 public:
  using Error::Error;
};

// Pixel layouts the colour manager cannot convert.
class EColorConversionError : public Error {
 public:
  using Error::Error;
};

// Failures inside a decompression codec.
class EGraphicCompression : public Error {
 public:
  using Error::Error;
};

// A picture or buffer larger than the library is prepared to allocate.
class EOutOfResources : public Error {
 public:
  using Error::Error;
};

// Replaces each "%s" of a message pattern, left to right, by the given texts
// ("%d" placeholders are filled by callers with std::to_string before calling).
std::string FormatMessage(std::string_view pattern, std::initializer_list<std::string_view> args);

}  // namespace qel
