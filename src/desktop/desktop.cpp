#include "desktop/desktop.h"

namespace mw {

void Desktop::OpenOrTell(const std::string& pathOrUrl, OpenFailed failed) {
  if (!OpenWithDefaultProgram(pathOrUrl)) failed({});
}

void ShowOkMessage(Desktop& desktop, const std::string& text, const std::string& title) {
  desktop.ShowMessage({text, title, MessageButtons::Ok, MessageIcon::None});
}

bool AskYesNo(Desktop& desktop, const std::string& text, const std::string& title) {
  return desktop.ShowMessage({text, title, MessageButtons::YesNo, MessageIcon::None}) ==
         MessageAnswer::Yes;
}

}  // namespace mw
