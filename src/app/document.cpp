#include "app/document.h"

#include <utility>

#include "imaging/picture_container.h"

namespace qel {

namespace {

// An empty picture holds no pixels and no size at all, whatever side it was given.
Picture Normalised(Picture&& picture) {
  if (picture.Empty()) picture.Clear();
  return std::move(picture);
}

}  // namespace

void TDocument::LoadImage(const std::string& path, ProgressObserver* observer, bool undo_copy) {
  Picture loaded = Normalised(LoadPictureFile(path, observer));
  std::string name = path;
  if (undo_copy) TakeUndoCopy();
  current_ = std::move(loaded);
  CurrentFileName = std::move(name);
}

void TDocument::TakeUndoCopy() {
  if (current_.Empty()) return;
  Picture copy(current_);
  std::string name = CurrentFileName;
  undo_ = std::move(copy);
  UndoFileName = std::move(name);
}

bool TDocument::SwapUndo() {
  const bool had_current = !current_.Empty();
  const bool had_undo = !undo_.Empty();
  if (had_current && had_undo) {
    std::swap(current_, undo_);
    std::swap(CurrentFileName, UndoFileName);
    return true;
  }
  if (had_current) {
    TakeUndoCopy();
    return false;
  }
  if (had_undo) {
    Picture copy(undo_);
    std::string name = UndoFileName;
    current_ = std::move(copy);
    CurrentFileName = std::move(name);
    return true;
  }
  return false;
}

void TDocument::ReplacePicture(Picture&& picture) {
  current_ = Normalised(std::move(picture));
  CurrentFileName.clear();
}

void TDocument::ClearPicture() {
  ReplacePicture(Picture());
}

bool TDocument::StepNext() {
  if (FileList.empty()) return false;
  const auto count = std::int64_t(FileList.size());
  ListIndex = ListIndex < count ? ListIndex + 1 : 1;
  return true;
}

bool TDocument::StepPrevious() {
  if (FileList.empty()) return false;
  ListIndex = ListIndex > 1 ? ListIndex - 1 : std::int32_t(FileList.size());
  return true;
}

bool TDocument::DeleteEntryAtCursor() {
  if (ListIndex < 1 || std::size_t(ListIndex) > FileList.size()) return false;
  FileList.erase(FileList.begin() + (ListIndex - 1));
  return true;
}

void TDocument::SetFileList(std::vector<std::string> paths) {
  FileList = std::move(paths);
  ListIndex = 1;
}

}  // namespace qel
