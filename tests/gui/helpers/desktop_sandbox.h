// A private desktop for tests of the shell integration: the per-user folders and the
// temporary folder point into a temporary folder, and recording stand-ins for the
// desktop's helper programs come first on PATH.
#pragma once

#include <QByteArray>
#include <QTemporaryDir>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/form1.h"
#include "gui/helpers/scripted_platform.h"

namespace qel::test {

class DesktopSandbox {
 public:
  // Sets XDG_CONFIG_HOME, XDG_DATA_HOME and TMPDIR to fresh folders and puts the
  // stand-ins' folder first on PATH.
  DesktopSandbox();
  // Restores the environment as it was.
  ~DesktopSandbox();
  DesktopSandbox(const DesktopSandbox&) = delete;
  DesktopSandbox& operator=(const DesktopSandbox&) = delete;

  std::string ConfigHome() const { return root_ + "/config"; }
  std::string DataHome() const { return root_ + "/data"; }
  std::string TempFolder() const { return root_ + "/tmp"; }
  std::string KeyFile() const { return ConfigHome() + "/qel-image-tool/keys"; }
  std::string DesktopFile() const;

  // Writes a program of that name that records its arguments and exits with the
  // status; with hold_until given, only once a file of that path exists (or after ten
  // seconds), as a program that waits for the user.
  void StandIn(const std::string& name, int exit_status, const std::string& hold_until = {}) const;
  // Removes the stand-in and leaves only the stand-ins' folder on PATH for the rest
  // of the test: the program is then missing altogether.
  void RemoveStandIn(const std::string& name) const;
  // The argument lists of the stand-in's calls so far.
  std::vector<std::vector<std::string>> Calls(const std::string& name) const;

 private:
  QTemporaryDir dir_;
  std::string root_;
  std::string bin_;
  std::map<std::string, std::optional<QByteArray>> saved_;
};

// A shown main window on scripted dialogs, message box and clipboard and on the
// desktop's own mail hand-off, shell, key store and desktop entries.
struct DesktopViewer {
  ScriptedPlatform services;
  std::unique_ptr<TForm1> form;

  explicit DesktopViewer(std::optional<std::string> start_file = std::nullopt);
  TDocument& Doc() { return form->Document(); }
  std::vector<std::string>& Messages() { return services.messages->shown; }
};

// The file's bytes; empty when it cannot be read.
std::string FileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// The names in a folder, sorted.
std::vector<std::string> FolderNames(const std::string& folder);

}  // namespace qel::test
