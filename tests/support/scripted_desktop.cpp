#include "scripted_desktop.h"

#include <QDialog>

namespace mw::test {

namespace {

template <typename T>
std::optional<T> TakeFront(std::deque<T>& queue) {
  if (queue.empty()) return std::nullopt;
  T front = std::move(queue.front());
  queue.pop_front();
  return front;
}

}  // namespace

MessageAnswer ScriptedDesktop::ShowMessage(const MessageRequest& request) {
  messages.push_back(request);
  if (auto answer = TakeFront(messageAnswers)) return *answer;
  switch (request.buttons) {
    case MessageButtons::YesNo: return MessageAnswer::No;
    case MessageButtons::OkCancel: return MessageAnswer::Cancel;
    case MessageButtons::Ok: break;
  }
  return MessageAnswer::Ok;
}

std::optional<std::string> ScriptedDesktop::ChooseFileToOpen(const FileDialogRequest& request) {
  openRequests.push_back(request);
  auto answer = TakeFront(openAnswers);
  return answer ? *answer : std::nullopt;
}

std::optional<std::string> ScriptedDesktop::ChooseFileToSave(const FileDialogRequest& request) {
  saveRequests.push_back(request);
  auto answer = TakeFront(saveAnswers);
  return answer ? *answer : std::nullopt;
}

std::optional<std::string> ScriptedDesktop::ChooseFolder(const FileDialogRequest& request) {
  folderRequests.push_back(request);
  auto answer = TakeFront(folderAnswers);
  return answer ? *answer : std::nullopt;
}

int ScriptedDesktop::ShowModal(QDialog& dialog) {
  modalDialogs.push_back(dialog.objectName().toStdString());
  if (auto script = TakeFront(dialogScripts)) return (*script)(dialog);
  return kModalCancel;
}

bool ScriptedDesktop::OpenWithDefaultProgram(const std::string& pathOrUrl) {
  opened.push_back(pathOrUrl);
  return shellWorks;
}

bool ScriptedDesktop::StartProgram(const std::string& program, const std::string&) {
  started.push_back(program);
  return shellWorks;
}

void ScriptedDesktop::Pause(int milliseconds) { pauses.push_back(milliseconds); }

std::vector<std::string> ScriptedDesktop::MessageTexts() const {
  std::vector<std::string> texts;
  for (const auto& m : messages) texts.push_back(m.text);
  return texts;
}

}  // namespace mw::test
