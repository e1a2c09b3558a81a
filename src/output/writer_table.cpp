#include "output/writer_table.h"

#include "imaging/picture_container.h"
#include "output/picture_writers.h"

namespace qel {

namespace {

const WriterEntry kWriters[] = {
    {".bmp", &WriteBmp},
    {".jp2", &WriteJp2},
    {".tga", &WriteTga},
    {".jpg", &WriteJpeg, &WriteJpegWith},
    {".jpeg", &WriteJpeg, &WriteJpegWith},
    {".jpe", &WriteJpeg, &WriteJpegWith},
    {".jfif", &WriteJpeg, &WriteJpegWith},
    {".png", &WritePng},
    {".gif", &WriteGif},
    {".emf", &WriteEmf},
    // Formats written beyond the seven of old.
    {".webp", &WriteWebp, &WriteWebpWith},
};

}  // namespace

void WriterEntry::Encode(const Picture& picture, TStream& stream, const WriteOptions& options) const {
  if (encode_with) {
    encode_with(picture, stream, options);
  } else {
    encode(picture, stream);
  }
}

int CheckedQuality(const WriteOptions& options) {
  if (options.quality < 1 || options.quality > 100) throw Error("The quality must lie between 1 and 100.");
  return options.quality;
}

std::span<const WriterEntry> Writers() {
  return kWriters;
}

const WriterEntry* FindWriter(std::string_view extension) {
  const std::string lower = LowerCase(extension);
  for (const WriterEntry& entry : kWriters) {
    if (entry.extension == lower) return &entry;
  }
  return nullptr;
}

std::string WritableExtensionList() {
  std::string list;
  for (const WriterEntry& entry : kWriters) {
    if (!list.empty()) list += ' ';
    list += entry.extension;
  }
  return list;
}

std::string UnwritableExtensionMessage(const std::string& full_path) {
  const std::string extension = ExtractFileExt(full_path);
  const std::string reason = extension.empty() || extension == "."
                                 ? std::string("the name has no extension")
                                 : "no format is written for the extension \"" + extension + "\"";
  return "Cannot save \"" + full_path + "\": " + reason + ". The extensions written are " +
         WritableExtensionList();
}

}  // namespace qel
