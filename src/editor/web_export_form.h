#pragma once
// The Export for Web dialog: a folder or one file, where it goes, the page's title and
// the message shown when the page opens.

#include <QDialog>
#include <string>

#include "desktop/desktop.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace mw {

// What the person chose in the dialog.
struct WebExportChoice {
  bool singleFile = false;
  std::string destination;  // the folder to make, or the page file
  std::string title;
  std::string message;  // may hold line breaks
};

// Takes a choice in and gives one out; the caller exports. "Export" closes with
// kModalOk, "Preview in Browser" with kPreviewResult, Cancel and the close box with
// kModalCancel. Switching between folder and file changes the destination's ending.
class TWebExportForm : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kPreviewResult = 3;

  // `desktop` runs the dialog that chooses the place; it must outlive the dialog.
  explicit TWebExportForm(Desktop& desktop, QWidget* parent = nullptr);

  void SetChoice(const WebExportChoice& choice);
  WebExportChoice Choice() const;

  void reject() override { done(kModalCancel); }

 private:
  void BuildControls();
  void FormChanged();
  void BrowseClick();

  Desktop& desktop_;
  QRadioButton* folderChoice_ = nullptr;
  QRadioButton* fileChoice_ = nullptr;
  QLineEdit* destination_ = nullptr;
  QLineEdit* title_ = nullptr;
  QPlainTextEdit* message_ = nullptr;
};

}  // namespace mw
