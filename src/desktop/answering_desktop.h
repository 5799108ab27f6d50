#pragma once
// A Desktop with nobody in front of it, for work done from the command line.

#include <functional>
#include <ostream>
#include <string>

#include "desktop/desktop.h"

namespace mw {

// Writes every message to a stream, one line each, and answers every question with
// its default button (Ok, Yes). File dialogs are cancelled, nothing is opened or
// started (both report failure), pauses do not wait. Our own dialogs go to a handler
// that fills them in and gives their result.
class AnsweringDesktop : public Desktop {
 public:
  using ModalHandler = std::function<int(QDialog&)>;
  // `out` must outlive the desktop.
  AnsweringDesktop(std::ostream& out, ModalHandler modal);

  MessageAnswer ShowMessage(const MessageRequest& request) override;
  std::optional<std::string> ChooseFileToOpen(const FileDialogRequest& request) override;
  std::optional<std::string> ChooseFileToSave(const FileDialogRequest& request) override;
  std::optional<std::string> ChooseFolder(const FileDialogRequest& request) override;
  int ShowModal(QDialog& dialog) override;
  bool OpenWithDefaultProgram(const std::string& pathOrUrl) override;
  bool StartProgram(const std::string& program, const std::string& workingFolder) override;
  void Pause(int milliseconds) override;

  // The text of the last message shown, on one line; empty when none was shown.
  const std::string& LastMessage() const { return lastMessage_; }

 private:
  std::ostream& out_;
  ModalHandler modal_;
  std::string lastMessage_;
};

// `text` with each line break (CR, LF or both) made one space.
std::string OnOneLine(const std::string& text);

}  // namespace mw
