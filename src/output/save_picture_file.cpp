#include "output/save_picture_file.h"

#include <sys/stat.h>

#include "base/file_replacement.h"
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

}  // namespace

std::string UniqueFileName(const std::string& name) {
  if (!IsExistingFile(name)) return name;
  const std::string ext = ExtractFileExt(name);
  const std::string stem = name.substr(0, name.size() - ext.size());
  for (unsigned n = 1;; ++n) {
    std::string candidate = stem + "[" + std::to_string(n) + "]" + ext;
    if (!IsExistingFile(candidate)) return candidate;
  }
}

std::string SavePictureFile(const std::string& name, const Picture& picture, bool overwrite,
                            std::string* name_used) {
  return SavePictureFile(name, picture, overwrite, WriteOptions{}, name_used);
}

std::string SavePictureFile(const std::string& name, const Picture& picture, bool overwrite,
                            const WriteOptions& options, std::string* name_used) {
  if (name_used) *name_used = name;
  const WriterEntry* writer = FindWriter(ExtractFileExt(name));
  if (!writer) throw EUnwritableExtension(UnwritableExtensionMessage(FullPath(name)));
  const std::string target = overwrite ? name : UniqueFileName(name);
  if (name_used) *name_used = target;
  ReplaceFile(target, [&](const StagingFile& staged) {
    TFileStream stream(staged.Path(), TFileStream::Mode::kCreate);
    writer->Encode(picture, stream, options);
    stream.Commit();
  });
  return target;
}

}  // namespace qel
