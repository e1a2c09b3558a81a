#include "gui/helpers/desktop_sandbox.h"

#include <sys/stat.h>
#include <QDir>
#include <QFile>
#include <QTest>
#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "app/context_menu.h"
#include "platform/desktop_entries.h"
#include "platform/mail.h"
#include "platform/registry.h"
#include "platform/shell.h"

namespace qel::test {

namespace {

constexpr const char* kVariables[] = {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "TMPDIR", "PATH"};
// Ends each recorded call.
constexpr const char* kCallEnd = "--- end of call ---";

std::string ShellQuoted(const std::string& text) {
  std::string out = "'";
  for (const char c : text) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

void MakeFolder(const std::string& path) {
  if (!QDir().mkpath(QFile::decodeName(path.c_str()))) throw std::runtime_error("Cannot make " + path);
}

}  // namespace

DesktopSandbox::DesktopSandbox() {
  if (!dir_.isValid()) throw std::runtime_error("No temporary folder");
  root_ = QFile::encodeName(dir_.path()).toStdString();
  bin_ = root_ + "/bin";
  for (const std::string& folder : {bin_, ConfigHome(), DataHome(), TempFolder()}) MakeFolder(folder);
  for (const char* name : kVariables) {
    saved_[name] = qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name)) : std::nullopt;
  }
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(ConfigHome()));
  qputenv("XDG_DATA_HOME", QByteArray::fromStdString(DataHome()));
  qputenv("TMPDIR", QByteArray::fromStdString(TempFolder()));
  const QByteArray path = saved_["PATH"].value_or("/usr/bin:/bin");
  qputenv("PATH", QByteArray::fromStdString(bin_) + ":" + path);
  // The system's own database tool is replaced too, so that nothing outside is touched.
  StandIn("update-desktop-database", 0);
}

DesktopSandbox::~DesktopSandbox() {
  for (const auto& [name, value] : saved_) {
    if (value)
      qputenv(name.c_str(), *value);
    else
      qunsetenv(name.c_str());
  }
}

std::string DesktopSandbox::DesktopFile() const {
  return DataHome() + "/applications/" + std::string(kOpenWithDesktopFile);
}

void DesktopSandbox::StandIn(const std::string& name, int exit_status, const std::string& hold_until) const {
  const std::string path = bin_ + "/" + name;
  const std::string log = ShellQuoted(bin_ + "/" + name + ".log");
  std::string script = "#!/bin/sh\n";
  script += "for argument in \"$@\"; do printf '%s\\n' \"$argument\" >> " + log + "; done\n";
  script += "printf '%s\\n' '" + std::string(kCallEnd) + "' >> " + log + "\n";
  if (!hold_until.empty()) {
    script += "i=0; while [ ! -e " + ShellQuoted(hold_until) +
              " ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i+1)); done\n";
  }
  script += "exit " + std::to_string(exit_status) + "\n";
  WriteFileBytes(path, script);
  ::chmod(path.c_str(), 0755);
}

void DesktopSandbox::RemoveStandIn(const std::string& name) const {
  ::unlink((bin_ + "/" + name).c_str());
  qputenv("PATH", QByteArray::fromStdString(bin_));
}

std::vector<std::vector<std::string>> DesktopSandbox::Calls(const std::string& name) const {
  std::vector<std::vector<std::string>> calls;
  std::istringstream lines(FileBytes(bin_ + "/" + name + ".log"));
  std::vector<std::string> call;
  for (std::string line; std::getline(lines, line);) {
    if (line == kCallEnd) {
      calls.push_back(std::move(call));
      call.clear();
    } else {
      call.push_back(line);
    }
  }
  return calls;
}

DesktopViewer::DesktopViewer(std::optional<std::string> start_file) {
  // The scripted stand-ins of these four are replaced (their handles are not used).
  services.mail = nullptr;
  services.shell = nullptr;
  services.registry = nullptr;
  services.desktop_entries = nullptr;
  services.platform.mail = MakeXdgMail();
  services.platform.shell = MakeXdgShell();
  services.platform.registry = MakeUserRegistry();
  services.platform.desktop_entries = MakeUserDesktopEntries();
  form = std::make_unique<TForm1>(std::move(services.platform), start_file);
  form->show();
  if (!QTest::qWaitForWindowExposed(form.get())) throw std::runtime_error("The window was not shown");
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out.flush()) throw std::runtime_error("Cannot write " + path);
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const QString& name : QDir(QFile::decodeName(folder.c_str()))
                                 .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
    names.push_back(QFile::encodeName(name).toStdString());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace qel::test
