// Platform services that follow a script instead of asking the user: for tests that
// drive the main window without dialogs, message boxes or the desktop's clipboard.
#pragma once

#include <QPoint>
#include <QRect>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/key_store.h"
#include "platform/platform.h"

namespace qel {

// Answers each dialog with the next scripted answer; an empty script cancels.
class ScriptedFileDialogs final : public FileDialogs {
 public:
  std::deque<std::vector<std::string>> open_answers;
  std::deque<std::string> save_answers;
  int open_calls = 0;
  std::string last_open_filter;
  std::vector<SaveRequest> save_requests;

  std::vector<std::string> OpenPictures(QWidget* parent, const std::string& filter) override;
  std::string SavePicture(QWidget* parent, const SaveRequest& request) override;
};

// Records every text instead of showing it.
class ScriptedMessageBox final : public MessageBox {
 public:
  std::vector<std::string> shown;
  std::vector<std::string> warnings;
  void Show(QWidget* parent, const std::string& text) override;
  void ShowWarning(QWidget* parent, const std::string& text) override;
};

// A clipboard of its own, not the desktop's.
class ScriptedClipboard final : public Clipboard {
 public:
  std::optional<Picture> content;
  int set_calls = 0;

  bool HasBitmap() const override { return content.has_value(); }
  std::optional<Picture> GetBitmap() const override { return content; }
  void SetBitmap(const Picture& picture) override;
};

// Records each path handed to the mail client and answers at once with the scripted
// result.
class ScriptedMail final : public Mail {
 public:
  std::vector<std::string> sent;
  bool answer = true;
  void SendToMailClient(const std::string& path, Answer done) override;
  int Pending() const override { return 0; }
};

// Records each address instead of opening it.
class ScriptedShell final : public Shell {
 public:
  std::vector<std::string> opened;
  void OpenAddress(const std::string& address) override { opened.push_back(address); }
};

// A key store in memory; with writable off every change fails, as with a store that
// cannot be written.
class ScriptedRegistry final : public Registry {
 public:
  KeyStore store;
  bool writable = true;

  bool KeyExists(std::string_view key) const override { return store.KeyExists(key); }
  bool CreateKey(std::string_view key) override;
  bool WriteDefaultValue(std::string_view key, std::string_view value) override;
  std::optional<std::string> ReadDefaultValue(std::string_view key) const override {
    return store.ReadDefaultValue(key);
  }
  bool DeleteKey(std::string_view key) override { return writable && store.DeleteKey(key); }
};

// Desktop entries in memory: file name -> text.
class ScriptedDesktopEntries final : public DesktopEntries {
 public:
  std::map<std::string, std::string> files;

  bool Exists(const std::string& file_name) const override { return files.count(file_name) != 0; }
  bool Install(const std::string& file_name, const std::string& text) override;
  bool Remove(const std::string& file_name) override;
};

// Answers each colour dialog with the next scripted answer (nullopt: cancel); an empty
// script cancels. Records the colour each dialog started on.
class ScriptedColorDialog final : public ColorDialog {
 public:
  std::deque<std::optional<TColor>> answers;
  std::vector<TColor> initial_colors;
  std::optional<TColor> ChooseColor(QWidget* parent, TColor initial) override;
};

// A screen made of a picture whose top-left pixel lies at origin; everything outside it
// is black. Records each grabbed rectangle and calls on_grab (when set) first.
class ScriptedScreen final : public ScreenGrabber {
 public:
  Picture screen;
  QPoint origin;
  std::vector<QRect> grabs;
  std::function<void()> on_grab;
  bool reads_live = true;
  Picture Grab(const QRect& area) override;
  bool ReadsLive() override { return reads_live; }
};

// A platform of scripted services, with handles on them that stay valid while the
// window that took the platform lives.
struct ScriptedPlatform {
  ScriptedFileDialogs* dialogs = nullptr;
  ScriptedMessageBox* messages = nullptr;
  ScriptedClipboard* clipboard = nullptr;
  ScriptedMail* mail = nullptr;
  ScriptedShell* shell = nullptr;
  ScriptedRegistry* registry = nullptr;
  ScriptedDesktopEntries* desktop_entries = nullptr;
  ScriptedColorDialog* colors = nullptr;
  ScriptedScreen* screen = nullptr;
  Platform platform;

  ScriptedPlatform();
};

}  // namespace qel
