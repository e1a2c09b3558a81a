// Exception classes of the imaging library. Every error carries the text that the
// user sees: the viewer shows it in a message box, qel-convert prints it. The errors of
// writing files, their base class Error and FormatMessage come from base/errors.h.
#pragma once

#include <cstdio>

#include "base/errors.h"

namespace qel {

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

}  // namespace qel
