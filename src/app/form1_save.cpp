// "Save" and "Save as....".
#include "app/form1.h"
#include "app/progress_bar.h"
#include "app/save_targets.h"
#include "output/save_picture_file.h"

namespace qel {

void TForm1::ConnectSaveHandlers() {
  Bind(CommandId::kSave1, &TForm1::Save1Click);
  Bind(CommandId::kSaveas1, &TForm1::Save1Click);
}

void TForm1::Save1Click(std::string_view sender) {
  const Picture& picture = document_.Current();
  if (picture.Empty()) return;
  // The name the writer reports back (a free name when overwriting is off) is not
  // kept: the document still names the file the picture came from.
  const std::string current = document_.CurrentFileName;
  if (sender == "Save1" && HasWritableExtension(current)) {
    const bool overwrite = OverwriteFiles();
    TCommandProgress progress(progress_bar_);
    progress.RunAside([&] { SavePictureFile(current, picture, overwrite); });
    return;
  }
  FileDialogs::SaveRequest request;
  request.filter = kSavePictureFilter;
  request.default_extension = kSaveDefaultExtension;
  request.initial_folder = FolderPart(current);
  request.file_name = current;
  const std::string chosen = platform_.dialogs->SavePicture(this, request);
  if (chosen.empty()) return;
  // The user chose the name: an existing file is replaced.
  TCommandProgress progress(progress_bar_);
  progress.RunAside([&] { SavePictureFile(chosen, picture, true); });
}

}  // namespace qel
