#pragma once
// The Desktop of a real session: Qt message boxes, file dialogs and xdg-open.

#include "desktop/desktop.h"

#include <QString>

class QFileDialog;
class QWidget;

namespace mw {

class QtDesktop : public Desktop {
 public:
  // Dialogs are shown over `parent` (may be null).
  explicit QtDesktop(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  MessageAnswer ShowMessage(const MessageRequest& request) override;
  std::optional<std::string> ChooseFileToOpen(const FileDialogRequest& request) override;
  std::optional<std::string> ChooseFileToSave(const FileDialogRequest& request) override;
  std::optional<std::string> ChooseFolder(const FileDialogRequest& request) override;
  int ShowModal(QDialog& dialog) override;
  bool OpenWithDefaultProgram(const std::string& pathOrUrl) override;
  // Runs the desktop's opener (xdg-open) itself and watches it for a while: when no
  // program takes the thing, it fails within moments ("x-terminal-emulator: not found");
  // a program that took it may keep the opener waiting until it ends.
  void OpenOrTell(const std::string& pathOrUrl, OpenFailed failed) override;
  bool StartProgram(const std::string& program, const std::string& workingFolder) override;
  void Pause(int milliseconds) override;

 private:
  QWidget* parent_;
};

// Turns "desc|patterns|desc|patterns" into Qt's "desc (patterns);;desc (patterns)".
QString QtFileFilter(const std::string& filter);

// Gives a file dialog the request's title, filters, default extension and start.
void ConfigureFileDialog(QFileDialog& dialog, const FileDialogRequest& request);

}  // namespace mw
