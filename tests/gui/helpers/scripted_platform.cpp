#include "gui/helpers/scripted_platform.h"

namespace qel {

std::vector<std::string> ScriptedFileDialogs::OpenPictures(QWidget*, const std::string& filter) {
  ++open_calls;
  last_open_filter = filter;
  if (open_answers.empty()) return {};
  std::vector<std::string> answer = std::move(open_answers.front());
  open_answers.pop_front();
  return answer;
}

std::string ScriptedFileDialogs::SavePicture(QWidget*, const SaveRequest& request) {
  save_requests.push_back(request);
  if (save_answers.empty()) return {};
  std::string answer = std::move(save_answers.front());
  save_answers.pop_front();
  return answer;
}

void ScriptedMessageBox::Show(QWidget*, const std::string& text) {
  shown.push_back(text);
}

void ScriptedMessageBox::ShowWarning(QWidget*, const std::string& text) {
  warnings.push_back(text);
}

void ScriptedClipboard::SetBitmap(const Picture& picture) {
  ++set_calls;
  if (!picture.Empty()) content = picture;
}

void ScriptedMail::SendToMailClient(const std::string& path, Answer done) {
  sent.push_back(path);
  done(answer);
}

bool ScriptedRegistry::CreateKey(std::string_view key) {
  if (store.KeyExists(key)) return true;
  return writable && store.CreateKey(key);
}

bool ScriptedRegistry::WriteDefaultValue(std::string_view key, std::string_view value) {
  return writable && store.WriteDefaultValue(key, value);
}

bool ScriptedDesktopEntries::Install(const std::string& file_name, const std::string& text) {
  files.try_emplace(file_name, text);
  return true;
}

bool ScriptedDesktopEntries::Remove(const std::string& file_name) {
  files.erase(file_name);
  return true;
}

std::optional<TColor> ScriptedColorDialog::ChooseColor(QWidget*, TColor initial) {
  initial_colors.push_back(initial);
  if (answers.empty()) return std::nullopt;
  const std::optional<TColor> answer = answers.front();
  answers.pop_front();
  return answer;
}

Picture ScriptedScreen::Grab(const QRect& area) {
  if (on_grab) on_grab();
  grabs.push_back(area);
  if (area.isEmpty()) return {};
  Picture picture = NewPicture(area.width(), area.height(), RGBColor(0, 0, 0));
  const QRect shown = area & QRect(origin, QSize(screen.Width(), screen.Height()));
  for (int y = shown.top(); y <= shown.bottom(); ++y) {
    for (int x = shown.left(); x <= shown.right(); ++x)
      picture.SetPixel(x - area.left(), y - area.top(), screen.Pixel(x - origin.x(), y - origin.y()));
  }
  return picture;
}

ScriptedPlatform::ScriptedPlatform() {
  auto scripted_dialogs = std::make_unique<ScriptedFileDialogs>();
  auto scripted_messages = std::make_unique<ScriptedMessageBox>();
  auto scripted_clipboard = std::make_unique<ScriptedClipboard>();
  dialogs = scripted_dialogs.get();
  messages = scripted_messages.get();
  clipboard = scripted_clipboard.get();
  auto scripted_mail = std::make_unique<ScriptedMail>();
  auto scripted_shell = std::make_unique<ScriptedShell>();
  auto scripted_registry = std::make_unique<ScriptedRegistry>();
  auto scripted_entries = std::make_unique<ScriptedDesktopEntries>();
  mail = scripted_mail.get();
  shell = scripted_shell.get();
  registry = scripted_registry.get();
  desktop_entries = scripted_entries.get();
  platform.dialogs = std::move(scripted_dialogs);
  platform.messages = std::move(scripted_messages);
  platform.clipboard = std::move(scripted_clipboard);
  platform.mail = std::move(scripted_mail);
  platform.shell = std::move(scripted_shell);
  platform.registry = std::move(scripted_registry);
  platform.desktop_entries = std::move(scripted_entries);
  auto scripted_colors = std::make_unique<ScriptedColorDialog>();
  auto scripted_screen = std::make_unique<ScriptedScreen>();
  colors = scripted_colors.get();
  screen = scripted_screen.get();
  platform.colors = std::move(scripted_colors);
  platform.screen = std::move(scripted_screen);
}

}  // namespace qel
