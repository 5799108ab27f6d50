#pragma once
// A Desktop that stands in for the person at the dialogs: it records every request
// and answers from queues that the test fills beforehand.

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "desktop/desktop.h"

namespace mw::test {

class ScriptedDesktop : public Desktop {
 public:
  // What the person does with one of our own dialogs: fill it, press a button.
  using DialogScript = std::function<int(QDialog&)>;

  // Queues of answers, taken in order. An empty queue answers "cancel" (or "No",
  // "Ok" for a plain message), so an unexpected dialog never blocks a test.
  std::deque<MessageAnswer> messageAnswers;
  std::deque<std::optional<std::string>> openAnswers;
  std::deque<std::optional<std::string>> saveAnswers;
  std::deque<std::optional<std::string>> folderAnswers;
  std::deque<DialogScript> dialogScripts;
  // Whether the desktop manages to open documents and start programs.
  bool shellWorks = true;

  // What was asked.
  std::vector<MessageRequest> messages;
  std::vector<FileDialogRequest> openRequests;
  std::vector<FileDialogRequest> saveRequests;
  std::vector<FileDialogRequest> folderRequests;
  std::vector<std::string> modalDialogs;  // object names of the dialogs shown
  std::vector<std::string> opened;        // documents and addresses opened
  std::vector<std::string> started;       // programs started
  std::vector<int> pauses;

  MessageAnswer ShowMessage(const MessageRequest& request) override;
  std::optional<std::string> ChooseFileToOpen(const FileDialogRequest& request) override;
  std::optional<std::string> ChooseFileToSave(const FileDialogRequest& request) override;
  std::optional<std::string> ChooseFolder(const FileDialogRequest& request) override;
  int ShowModal(QDialog& dialog) override;
  bool OpenWithDefaultProgram(const std::string& pathOrUrl) override;
  bool StartProgram(const std::string& program, const std::string& workingFolder) override;
  void Pause(int milliseconds) override;

  // Texts of all messages shown so far, in order.
  std::vector<std::string> MessageTexts() const;
};

}  // namespace mw::test
