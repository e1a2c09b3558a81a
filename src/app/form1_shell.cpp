// The desktop around the viewer: the "Open with" entry, the maker's web page and the
// hand-off of the picture to the mail client.
#include <sys/stat.h>
#include <unistd.h>
#include <QAction>
#include <QCoreApplication>

#include "app/context_menu.h"
#include "app/form1.h"
#include "app/progress_bar.h"
#include "app/save_targets.h"
#include "output/save_picture_file.h"
#include "platform/path_text.h"
#include "platform/xdg_paths.h"

namespace qel {

namespace {

bool SomethingAt(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

void TForm1::SetUpShellIntegration() {
  Bind(CommandId::kSendtoemail1, &TForm1::Sendtoemail1Click);
  Bind(CommandId::kContextmenu1, &TForm1::Contextmenu1Click);
  Bind(CommandId::kLatest1, &TForm1::Latest1Click);
  // The check shows whether the entry is installed, as the store says at start.
  const bool installed = platform_.registry && ContextMenuInstalled(*platform_.registry, kContextMenuKeyName);
  if (QAction* item = Item("Contextmenu1")) item->setChecked(installed);
}

void TForm1::Contextmenu1Click() {
  if (!platform_.registry) return;
  // Failures of the store are silent: the check shows what the user chose, and the
  // next start shows what the store holds.
  try {
    if (Checked("Contextmenu1")) {
      const OpenWithProgram program{PathFromQString(QCoreApplication::applicationFilePath()),
                                    ReadableExtensions()};
      InstallContextMenu(*platform_.registry, platform_.desktop_entries.get(), kContextMenuKeyName, program);
    } else {
      RemoveContextMenu(*platform_.registry, platform_.desktop_entries.get(), kContextMenuKeyName);
    }
  } catch (const std::exception&) {
  }
}

void TForm1::Latest1Click() {
  if (platform_.shell) platform_.shell->OpenAddress(std::string(kLatestVersionAddress));
}

void TForm1::Sendtoemail1Click() {
  const Picture& picture = document_.Current();
  if (picture.Empty()) return;
  const SaveTarget target = MailTarget(document_.CurrentFileName, OverwriteFiles(), TempFolder());
  if (target.in_temporary_folder) RemoveLinkInTheWay(target.path);
  // The user's own file, written over, stays whatever the mail client says; a file made
  // for the mail goes again when the mail client does not take it.
  const bool mail_copy = target.in_temporary_folder || !target.overwrite || !SomethingAt(target.path);
  // A write error passes on to the message box, and nothing is handed over.
  TCommandProgress progress(progress_bar_);
  const std::string written =
      progress.RunAside([&] { return SavePictureFile(target.path, picture, target.overwrite); });
  const auto answered = [this, written, mail_copy](bool accepted) {
    if (accepted) return;
    if (mail_copy) ::unlink(written.c_str());
    ShowMessage("Sending to email client failed!");
  };
  // The window goes on while the mail client has the request.
  if (platform_.mail)
    platform_.mail->SendToMailClient(written, answered);
  else
    answered(false);
}

}  // namespace qel
