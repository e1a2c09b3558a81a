#include "output/save_picture_file.h"

#include <sys/stat.h>

#include "base/file_replacement.h"
#include "base/link_target.h"
#include "base/paths.h"
#include "imaging/picture_container.h"
#include "imaging/stream.h"
#include "output/writer_table.h"

namespace qel {

namespace {

bool IsExistingFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

unsigned FirstFreeNumber(const std::string& name) {
  unsigned n = 0;
  while (IsExistingFile(NumberedFileName(name, n))) ++n;
  return n;
}

const WriterEntry& WriterFor(const std::string& name) {
  const WriterEntry* writer = FindWriter(ExtractFileExt(name));
  if (!writer) throw EUnwritableExtension(UnwritableExtensionMessage(FullPath(name)));
  return *writer;
}

// What fills the staging file: the picture in the writer's format.
auto Encoding(const WriterEntry& writer, const Picture& picture, const WriteOptions& options) {
  return [&writer, &picture, &options](const StagingFile& staged) {
    TFileStream stream(staged.Fd());
    writer.Encode(picture, stream, options);
    stream.Commit();
  };
}

}  // namespace

std::string NumberedFileName(const std::string& name, unsigned n) {
  if (n == 0) return name;
  const std::string ext = ExtractFileExt(name);
  return name.substr(0, name.size() - ext.size()) + "[" + std::to_string(n) + "]" + ext;
}

std::string UniqueFileName(const std::string& name) {
  return NumberedFileName(name, FirstFreeNumber(name));
}

std::string SavePictureFile(const std::string& name, const Picture& picture, bool overwrite,
                            std::string* name_used) {
  return SavePictureFile(name, picture, overwrite, WriteOptions{}, name_used);
}

std::string SavePictureFile(const std::string& name, const Picture& picture, bool overwrite,
                            const WriteOptions& options, std::string* name_used) {
  if (name_used) *name_used = name;
  const WriterEntry& writer = WriterFor(name);
  if (overwrite) {
    ReplaceFile(name, Encoding(writer, picture, options));
    return name;
  }
  // The name given may be a link that leads nowhere: refused, rather than passed over.
  FollowLinksToWrite(name);
  const unsigned first = FirstFreeNumber(name);
  const NewFileNames names{.at = [&](unsigned attempt) { return NumberedFileName(name, first + attempt); }};
  return WriteNewFile(names, Encoding(writer, picture, options), name_used);
}

std::string SaveNewPictureFile(const NewFileNames& names, const Picture& picture, const WriteOptions& options,
                               std::string* name_used) {
  const std::string first = names.at(0);
  if (name_used) *name_used = first;
  return WriteNewFile(names, Encoding(WriterFor(first), picture, options), name_used);
}

}  // namespace qel
