// TFileFormatList: the import library's own registry of extensions. Each registration
// is passed on to the picture container's format list, which is what loading consults.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/graphic.h"
#include "imaging/picture_container.h"

namespace qel {

// Bits of a registration's format kinds.
namespace FormatKinds {
inline constexpr std::uint8_t kAnimation = 1 << 0;
inline constexpr std::uint8_t kLayered = 1 << 1;
inline constexpr std::uint8_t kMultiImage = 1 << 2;
inline constexpr std::uint8_t kRaster = 1 << 3;
inline constexpr std::uint8_t kVector = 1 << 4;
}  // namespace FormatKinds

class TFileFormatList {
 public:
  struct ClassEntry {
    const GraphicClass* graphic_class;
    std::string description;  // the common description
    int count;                // extension entries pointing here
  };
  struct ExtensionEntry {
    std::string extension;    // without the dot
    std::string description;  // the individual description
    std::uint8_t kinds;
    const ClassEntry* class_entry;
  };

  // The registrations are passed on to this container list.
  explicit TFileFormatList(TPictureFormatList& picture_formats) : picture_formats_(picture_formats) {}
  ~TFileFormatList();
  TFileFormatList(const TFileFormatList&) = delete;
  TFileFormatList& operator=(const TFileFormatList&) = delete;

  // Index in the extension list (case-insensitive), -1 when absent or empty.
  int FindExtension(std::string_view extension) const;
  // Index of the class entry, -1 when absent.
  int FindClass(const GraphicClass& graphic_class) const;
  // Raises "Attempt to register %s twice." for a known extension unless replace is set.
  void Register(std::string_view extension, std::string_view common_description,
                std::string_view individual_description, std::uint8_t kinds, bool replace,
                const GraphicClass& graphic_class);
  // With an extension: that registration only. With an empty extension: every
  // registration of the class.
  void Unregister(std::string_view extension, const GraphicClass& graphic_class);
  // Unregisters every class from the container and empties both lists.
  void Clear();

  const std::vector<std::unique_ptr<ClassEntry>>& Classes() const { return classes_; }
  const std::vector<ExtensionEntry>& Extensions() const { return extensions_; }

 private:
  ClassEntry* FindOrAddClass(const GraphicClass& graphic_class);
  void RemoveClass(const ClassEntry* entry);

  TPictureFormatList& picture_formats_;
  std::vector<std::unique_ptr<ClassEntry>> classes_;
  std::vector<ExtensionEntry> extensions_;
};

}  // namespace qel
