// Loading, the file list and dropped files.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "app/form1.h"
#include "app/open_filter.h"
#include "app/progress_bar.h"
#include "imaging/file_list.h"
#include "imaging/picture_container.h"
#include "platform/path_text.h"

namespace qel {

void TForm1::LoadImage(const std::string& path) {
  try {
    TCommandProgress progress(progress_bar_, [this](std::string_view text) {
      if (platform_.messages) platform_.messages->ShowWarning(this, std::string(text));
    });
    document_.LoadImage(path, &progress);
  } catch (...) {
    FormResize();
    throw;
  }
  PictureChanged();
  FormResize();
}

void TForm1::Loadimage1Click() {
  std::vector<std::string> chosen = platform_.dialogs->OpenPictures(this, OpenPictureFilter());
  if (chosen.empty()) return;
  document_.SetFileList(std::move(chosen));
  TakeUndoCopy();
  LoadImage(document_.EntryAtCursor());
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
  TakeUndoCopy();
  const std::string path = document_.EntryAtCursor();
  LoadImage(path);
}

void TForm1::DropPaths(const std::vector<std::string>& paths) {
  document_.FileList.clear();
  const std::string filter = PictureFilterText();
  for (const std::string& path : paths) AddPath(document_.FileList, path, filter);
  if (document_.FileList.empty()) return;
  document_.ListIndex = 1;
  document_.CurrentFileName = document_.FileList.front();
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
