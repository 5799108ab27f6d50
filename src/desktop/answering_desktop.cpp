#include "desktop/answering_desktop.h"

#include <utility>

namespace mw {

AnsweringDesktop::AnsweringDesktop(std::ostream& out, ModalHandler modal)
    : out_(out), modal_(std::move(modal)) {}

MessageAnswer AnsweringDesktop::ShowMessage(const MessageRequest& request) {
  lastMessage_ = OnOneLine(request.text);
  out_ << lastMessage_ << "\n" << std::flush;
  switch (request.buttons) {
    case MessageButtons::YesNo:
      return MessageAnswer::Yes;
    case MessageButtons::Ok:
    case MessageButtons::OkCancel:
      break;
  }
  return MessageAnswer::Ok;
}

std::optional<std::string> AnsweringDesktop::ChooseFileToOpen(const FileDialogRequest&) {
  return std::nullopt;
}

std::optional<std::string> AnsweringDesktop::ChooseFileToSave(const FileDialogRequest&) {
  return std::nullopt;
}

std::optional<std::string> AnsweringDesktop::ChooseFolder(const FileDialogRequest&) {
  return std::nullopt;
}

int AnsweringDesktop::ShowModal(QDialog& dialog) {
  return modal_ ? modal_(dialog) : kModalCancel;
}

bool AnsweringDesktop::OpenWithDefaultProgram(const std::string&) { return false; }

bool AnsweringDesktop::StartProgram(const std::string&, const std::string&) {
  return false;
}

void AnsweringDesktop::Pause(int) {}

std::string OnOneLine(const std::string& text) {
  std::string line;
  for (std::size_t k = 0; k < text.size(); ++k) {
    const char c = text[k];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && k + 1 < text.size() && text[k + 1] == '\n') ++k;
      line += ' ';
    } else {
      line += c;
    }
  }
  return line;
}

}  // namespace mw
