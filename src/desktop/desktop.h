#pragma once
// The seam between the windows and the person in front of them: every message box,
// file dialog, shell request, modal showing of our own dialogs and pause goes
// through one Desktop, so tests can script the person's answers.

#include <functional>
#include <optional>
#include <string>

class QDialog;

namespace mw {

enum class MessageButtons { Ok, YesNo, OkCancel };
enum class MessageIcon { None, Information, Warning, Error };
enum class MessageAnswer { Ok, Cancel, Yes, No };

// One message box. An empty title means the application's name.
struct MessageRequest {
  std::string text;
  std::string title;
  MessageButtons buttons = MessageButtons::Ok;
  MessageIcon icon = MessageIcon::None;
};

// One file-open or file-save dialog. The filter is written as pairs of description
// and patterns joined by "|", e.g. "Map files(*.clm)|*.clm|All file types|*.*".
struct FileDialogRequest {
  std::string title;
  std::string filter;
  std::string defaultExtension;  // added to a typed name without an extension
  std::string initialPath;       // file (or folder) the dialog starts from
  bool confirmOverwrite = false; // save dialogs: ask before replacing a file
};

// Modal dialog results, as the windows give them.
inline constexpr int kModalOk = 1;
inline constexpr int kModalCancel = 2;

class Desktop {
 public:
  virtual ~Desktop() = default;
  // Shows a message box and waits for the answer.
  virtual MessageAnswer ShowMessage(const MessageRequest& request) = 0;
  // The chosen file's path, or nothing when the dialog was cancelled.
  virtual std::optional<std::string> ChooseFileToOpen(const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> ChooseFileToSave(const FileDialogRequest& request) = 0;
  // The chosen folder's path, or nothing when the dialog was cancelled; the request's
  // title and initial path count, its filter and extension do not.
  virtual std::optional<std::string> ChooseFolder(const FileDialogRequest& request) = 0;
  // Shows one of our own dialogs modally; gives kModalOk, kModalCancel or the
  // dialog's own result.
  virtual int ShowModal(QDialog& dialog) = 0;
  // Opens a document, folder, web address or mailto: address with the desktop's
  // default program. Gives false when a local file or folder is missing or the
  // desktop could not be asked; callers that need not know may ignore it.
  virtual bool OpenWithDefaultProgram(const std::string& pathOrUrl) = 0;
  // Why the desktop could not open something, in its own words; empty when it gave none.
  using OpenFailed = std::function<void(const std::string& reason)>;
  // Opens as OpenWithDefaultProgram does, and calls `failed` when the desktop could not
  // open it: at once when it could not be asked, or later, on the user-interface thread,
  // when the desktop's opener reports a failure soon after it started. Never called once
  // the thing is open. Callers guard what `failed` uses against its going away meanwhile.
  virtual void OpenOrTell(const std::string& pathOrUrl, OpenFailed failed);
  // Starts a program with no arguments, not waiting for it. Gives false when it
  // could not be started.
  virtual bool StartProgram(const std::string& program, const std::string& workingFolder) = 0;
  // Pauses the user-interface thread (windows are still repainted).
  virtual void Pause(int milliseconds) = 0;
};

// Shorthands for the common message boxes.
void ShowOkMessage(Desktop& desktop, const std::string& text, const std::string& title = {});
bool AskYesNo(Desktop& desktop, const std::string& text, const std::string& title);

}  // namespace mw
