#include "import/framework/file_format_list.h"

#include <algorithm>

#include "imaging/errors.h"
#include "import/framework/messages.h"

namespace qel {

TFileFormatList::~TFileFormatList() {
  Clear();
}

int TFileFormatList::FindExtension(std::string_view extension) const {
  if (extension.empty()) return -1;
  const std::string wanted = LowerCase(extension);
  for (std::size_t i = 0; i < extensions_.size(); ++i) {
    if (LowerCase(extensions_[i].extension) == wanted) return int(i);
  }
  return -1;
}

int TFileFormatList::FindClass(const GraphicClass& graphic_class) const {
  for (std::size_t i = 0; i < classes_.size(); ++i) {
    if (classes_[i]->graphic_class == &graphic_class) return int(i);
  }
  return -1;
}

TFileFormatList::ClassEntry* TFileFormatList::FindOrAddClass(const GraphicClass& graphic_class) {
  int index = FindClass(graphic_class);
  if (index >= 0) return classes_[std::size_t(index)].get();
  classes_.push_back(std::make_unique<ClassEntry>(ClassEntry{&graphic_class, std::string(), 0}));
  return classes_.back().get();
}

void TFileFormatList::RemoveClass(const ClassEntry* entry) {
  std::erase_if(classes_, [&](const std::unique_ptr<ClassEntry>& c) { return c.get() == entry; });
}

void TFileFormatList::Register(std::string_view extension, std::string_view common_description,
                               std::string_view individual_description, std::uint8_t kinds, bool replace,
                               const GraphicClass& graphic_class) {
  if (extension.empty()) return;
  ClassEntry* class_entry = nullptr;
  const int index = FindExtension(extension);
  if (index < 0) {
    class_entry = FindOrAddClass(graphic_class);
    if (!common_description.empty()) class_entry->description = std::string(common_description);
    ++class_entry->count;
    extensions_.push_back(
        ExtensionEntry{std::string(extension), std::string(individual_description), kinds, class_entry});
  } else {
    if (!replace) {
      throw EInvalidGraphic(FormatMessage(msg::kDuplicateRegistration, {extension}));
    }
    ExtensionEntry& entry = extensions_[std::size_t(index)];
    if (entry.class_entry->graphic_class == &graphic_class) return;
    const ClassEntry* old_class = entry.class_entry;
    class_entry = FindOrAddClass(graphic_class);
    if (!common_description.empty()) class_entry->description = std::string(common_description);
    ++class_entry->count;
    entry.class_entry = class_entry;
    // FindOrAddClass may have appended; the old entry's address is stable (unique_ptr).
    auto old = std::find_if(classes_.begin(), classes_.end(),
                            [&](const std::unique_ptr<ClassEntry>& c) { return c.get() == old_class; });
    if (old != classes_.end() && --(*old)->count == 0) classes_.erase(old);
  }
  const std::string description =
      individual_description.empty() ? class_entry->description : std::string(individual_description);
  picture_formats_.Register(extension, description, graphic_class);
}

void TFileFormatList::Unregister(std::string_view extension, const GraphicClass& graphic_class) {
  if (!extension.empty()) {
    const int index = FindExtension(extension);
    if (index < 0) return;
    auto* class_entry = const_cast<ClassEntry*>(extensions_[std::size_t(index)].class_entry);
    extensions_.erase(extensions_.begin() + index);
    if (--class_entry->count == 0) {
      picture_formats_.Unregister(*class_entry->graphic_class);
      RemoveClass(class_entry);
    }
    return;
  }
  const int class_index = FindClass(graphic_class);
  if (class_index < 0) return;
  ClassEntry* class_entry = classes_[std::size_t(class_index)].get();
  for (std::size_t i = extensions_.size(); i-- > 0 && class_entry->count > 0;) {
    if (extensions_[i].class_entry == class_entry) {
      extensions_.erase(extensions_.begin() + std::ptrdiff_t(i));
      --class_entry->count;
    }
  }
  picture_formats_.Unregister(graphic_class);
  RemoveClass(class_entry);
}

void TFileFormatList::Clear() {
  for (const auto& c : classes_) picture_formats_.Unregister(*c->graphic_class);
  classes_.clear();
  extensions_.clear();
}

}  // namespace qel
