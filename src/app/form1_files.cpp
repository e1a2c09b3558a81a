// Loading, the file list and dropped files.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "app/form1.h"
#include "app/open_filter.h"
#include "app/progress_bar.h"
#include "imaging/file_list.h"
#include "imaging/natural_order.h"
#include "imaging/picture_container.h"
#include "platform/path_text.h"

namespace qel {

namespace {

constexpr bool kWithUndoCopy = true;

}  // namespace

void TForm1::LoadImage(const std::string& path, bool undo_copy) {
  try {
    TCommandProgress progress(progress_bar_, [this](std::string_view text) {
      if (platform_.messages) platform_.messages->ShowWarning(this, std::string(text));
    });
    document_.LoadImage(path, &progress, undo_copy);
  } catch (...) {
    FormResize();
    throw;
  }
  // A new file is shown fitted, whatever zoom the one before had.
  EndZoom();
  PictureChanged();
  FormResize();
}

void TForm1::Loadimage1Click() {
  std::vector<std::string> chosen = platform_.dialogs->OpenPictures(this, OpenPictureFilter());
  if (chosen.empty()) return;
  SortNaturally(chosen);
  document_.SetFileList(std::move(chosen));
  const std::string first = document_.EntryAtCursor();
  LoadImage(first, kWithUndoCopy);
}

void TForm1::Reload1Click() {
  if (document_.CurrentFileName.empty()) return;
  const std::string path = document_.CurrentFileName;
  LoadImage(path);
}

void TForm1::Clearlist1Click() {
  document_.ClearList();
  FormResize();
}

void TForm1::LoadStepped() {
  const std::string path = document_.EntryAtCursor();
  LoadImage(path, kWithUndoCopy);
}

void TForm1::DropPaths(const std::vector<std::string>& paths) {
  document_.FileList.clear();
  const std::string filter = ReadableFilterText();
  for (const std::string& path : paths) AddPath(document_.FileList, path, filter);
  if (document_.FileList.empty()) return;
  document_.ListIndex = 1;
  // The name changes only with the picture: a file that fails to load must not become
  // the target of a later "Save".
  const std::string first = document_.FileList.front();
  LoadImage(first);
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    // Paths are taken whole, however long they are.
    if (url.isLocalFile()) paths.push_back(PathFromQString(url.toLocalFile()));
  }
  event->acceptProposedAction();
  Guarded([&] { DropPaths(paths); });
}

}  // namespace qel
