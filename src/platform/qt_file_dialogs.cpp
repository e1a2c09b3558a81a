#include <QFileDialog>
#include <QFileInfo>

#include "platform/filter_text.h"
#include "platform/path_text.h"
#include "platform/qt_services.h"

namespace qel {

namespace {

class QtFileDialogs final : public FileDialogs {
 public:
  std::vector<std::string> OpenPictures(QWidget* parent, const std::string& filter) override {
    const QStringList chosen = QFileDialog::getOpenFileNames(
        parent, QString(), QString(), QString::fromStdString(QtFilterFromFilterText(filter)));
    std::vector<std::string> paths;
    paths.reserve(std::size_t(chosen.size()));
    for (const QString& path : chosen) paths.push_back(PathFromQString(path));
    return paths;
  }

  std::string SavePicture(QWidget* parent, const SaveRequest& request) override {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setNameFilter(QString::fromStdString(QtFilterFromFilterText(request.filter)));
    dialog.setDefaultSuffix(QString::fromStdString(request.default_extension));
    if (!request.initial_folder.empty()) dialog.setDirectory(QStringFromPath(request.initial_folder));
    if (!request.file_name.empty()) dialog.selectFile(QStringFromPath(request.file_name));
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? std::string() : PathFromQString(chosen.front());
  }
};

}  // namespace

std::unique_ptr<FileDialogs> MakeQtFileDialogs() {
  return std::make_unique<QtFileDialogs>();
}

}  // namespace qel
