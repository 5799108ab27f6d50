#pragma once
// The help text in a window of the editor's own, for a desktop that cannot open the help
// file: read-only, with a search field.

#include <QString>
#include <QWidget>
#include <string>

#include "desktop/desktop.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace mw {

// Shows the help file's text as it is, read-only, and finds words in it. A window of its
// own beside the editor, not modal, so that the person can read while working.
class HelpWindow : public QWidget {
  Q_OBJECT

 public:
  explicit HelpWindow(QWidget* parent = nullptr);

  // Shows the text of the file at `path`. False, leaving the window as it was, when the
  // file cannot be read as a regular file of reasonable size.
  bool Load(const std::string& path);
  // Selects the next place of `text` after the current one (before it when `backward`),
  // going round at the end, and scrolls to it; the case of letters does not matter. Marks
  // every place of it. False, and says so below the field, when the text is nowhere.
  bool Find(const QString& text, bool backward = false);

 private:
  void FindFromField(bool backward);
  void MarkEveryPlace(const QString& text);

  QPlainTextEdit* text_;
  QLineEdit* search_;
  QLabel* state_;
};

// Opens the help file at `path` with the desktop's own program; when the desktop cannot,
// shows it in the editor's own help window (one for `owner`, raised when shown already).
// A file that cannot be read at all is said so in a message.
void ShowHelp(QWidget& owner, Desktop& desktop, const std::string& path);

}  // namespace mw
