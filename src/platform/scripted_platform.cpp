#include "platform/scripted_platform.h"

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

void ScriptedClipboard::SetBitmap(const Picture& picture) {
  ++set_calls;
  if (!picture.Empty()) content = picture;
}

ScriptedPlatform::ScriptedPlatform() {
  auto scripted_dialogs = std::make_unique<ScriptedFileDialogs>();
  auto scripted_messages = std::make_unique<ScriptedMessageBox>();
  auto scripted_clipboard = std::make_unique<ScriptedClipboard>();
  dialogs = scripted_dialogs.get();
  messages = scripted_messages.get();
  clipboard = scripted_clipboard.get();
  platform =
      Platform{std::move(scripted_dialogs), std::move(scripted_messages), std::move(scripted_clipboard)};
}

}  // namespace qel
