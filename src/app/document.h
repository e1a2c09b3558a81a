// The viewer's document: the current picture and the file it came from, the undo
// slot, the list of files the user steps through with its cursor, and the window's
// copy of the option values. No user interface here: the window drives it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/picture.h"
#include "options/option_values.h"

namespace qel {

class ProgressObserver;

// The values the options window pushes into the main window.

class TDocument {
 public:
  // The picture shown; empty or 24 bits a pixel.
  Picture& Current() { return current_; }
  const Picture& Current() const { return current_; }
  // The picture of the undo slot.
  const Picture& UndoPicture() const { return undo_; }

  // Full path of the file the current picture came from; empty for a picture that no
  // file holds (pasted, cropped, cleared).
  std::string CurrentFileName;
  // CurrentFileName at the moment the undo copy was taken.
  std::string UndoFileName;
  TOptionValues Options;
  // The paths the user steps through, in insertion order, duplicates allowed.
  std::vector<std::string> FileList;
  // 1-based position of the entry shown last; 0 until a list is first built. It may
  // lie one past the end after the last entry was deleted.
  std::int32_t ListIndex = 0;

  // Loads a file with the reader registered for its extension and makes it the current
  // picture with its path as CurrentFileName, after taking the undo copy when asked to.
  // On failure the error passes on and the document stays as it was: picture, name and
  // undo slot. The observer (when given) receives the reader's progress notifications.
  void LoadImage(const std::string& path, ProgressObserver* observer = nullptr, bool undo_copy = false);

  // Copies the current picture and its name into the undo slot; does nothing when the
  // current picture is empty, so the slot keeps what it held.
  void TakeUndoCopy();

  // Exchanges the current picture with the undo slot. With an empty current picture the
  // slot's picture is copied back and the slot keeps it; with an empty slot the current
  // picture is copied into it; with both empty nothing changes. Returns whether the
  // current picture changed.
  bool SwapUndo();

  // Makes a picture that no file holds the current one (paste, crop): CurrentFileName
  // becomes empty. No undo copy; callers take it first.
  void ReplacePicture(Picture&& picture);
  // Empties the picture and CurrentFileName.
  void ClearPicture();

  // Moves the cursor to the next entry, wrapping to 1 after the last; false (and no
  // move) when the list is empty.
  bool StepNext();
  // Moves the cursor to the previous entry, wrapping to the last before 1; false when
  // the list is empty.
  bool StepPrevious();
  // The entry under the cursor; the cursor must lie on an entry.
  const std::string& EntryAtCursor() const { return FileList.at(std::size_t(ListIndex) - 1); }
  // Removes the entry under the cursor from the list (not the file on disk) when the
  // cursor lies on one; the cursor keeps its number. Returns whether an entry went.
  bool DeleteEntryAtCursor();
  // Replaces the list and puts the cursor on its first entry.
  void SetFileList(std::vector<std::string> paths);
  void ClearList() { FileList.clear(); }

 private:
  Picture current_;
  Picture undo_;
};

}  // namespace qel
