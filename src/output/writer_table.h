// The formats the writer produces, one entry for each extension it answers to. A new
// writer is one more line in the table (writer_table.cpp); the messages and qel-convert's
// --to list follow it.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "imaging/errors.h"
#include "imaging/picture.h"
#include "output/write_options.h"

namespace qel {

class TStream;

// Writes a complete file of the picture to the stream.
using Encoder = void (*)(const Picture&, TStream&);
// The same for a format that takes the choices of WriteOptions.
using TunedEncoder = void (*)(const Picture&, TStream&, const WriteOptions&);

struct WriterEntry {
  std::string_view extension;  // lower case, dot included
  Encoder encode;              // with the format's default settings
  TunedEncoder encode_with = nullptr;

  // Writes with the options when the format takes them, else with its fixed settings.
  void Encode(const Picture& picture, TStream& stream, const WriteOptions& options) const;
};

// The table, in the order the extensions are compared.
std::span<const WriterEntry> Writers();

// The entry for an extension (dot included) in any letter case, or nullptr.
const WriterEntry* FindWriter(std::string_view extension);

// The extensions of the table, separated by blanks: ".bmp .jp2 ...".
std::string WritableExtensionList();

// A file name whose extension no writer serves.
class EUnwritableExtension : public Error {
 public:
  using Error::Error;
};

// The message for such a name (shown with its full path): it names the extension, or
// says there is none, and lists the extensions that are written.
std::string UnwritableExtensionMessage(const std::string& full_path);

}  // namespace qel
