#pragma once
// The clicker mark dialog: where the user names, for the mark being added or edited,
// the clip that opens when the mark is clicked and the message shown while the pointer
// rests on it, and chooses whether the editor comes back to the current clip.

#include <QDialog>
#include <string>

#include "desktop/desktop.h"

class QFrame;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;

namespace mw {

// One instance is made at start and reused for every mark. It holds no mark: the editor
// fills the two boxes before showing it and reads them after it closes with the OK
// result (kModalOk); Cancel and the close box give kModalCancel. Enter and
// Escape close nothing.
class TClickerMarkForm : public QDialog {
  Q_OBJECT

 public:
  // `desktop` runs the "Find..." file dialog; it must outlive the dialog.
  explicit TClickerMarkForm(Desktop& desktop, QWidget* parent = nullptr);

  // The target clip path in NextClipEditBox.
  void SetNextClipText(const std::string& path);
  std::string NextClipText() const;

  // The mark's message in HintMessage.
  void SetHintMessageText(const std::string& message);
  std::string HintMessageText() const;

  // Whether "> Goto new clip" can be pressed (the editor turns it off while a mark is
  // edited, so that the dialog ends on the current clip).
  void SetGotoNewClipEnabled(bool enabled);
  bool GotoNewClipEnabled() const;

  // True when the last showing ended with "< Back to current clip"; false from the
  // moment the dialog is shown.
  bool BackToCurrentClip() const { return backToCurrentClip_; }

  // The close box and a window-manager close give the Cancel result.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void BuildSidePanel();
  void BuildMainPanel();
  void BuildClosingButtons(QWidget* panel);
  void SetKeyboardOrder();
  void CentreOnScreen();

  void FormShow();
  void Button1Click();
  void FindNextClipButtonClick();

  Desktop& desktop_;
  bool backToCurrentClip_ = false;

  QFrame* panel1_ = nullptr;
  QFrame* panel2_ = nullptr;
  QLabel* label1_ = nullptr;
  QLabel* label2_ = nullptr;
  QLabel* label3_ = nullptr;
  QLineEdit* nextClipEditBox_ = nullptr;
  QLineEdit* hintMessage_ = nullptr;
  QGroupBox* groupBox1_ = nullptr;
  QPushButton* button1_ = nullptr;
  QPushButton* editClickerMarkOkButton_ = nullptr;
  QPushButton* findNextClipButton_ = nullptr;
  QPushButton* editClickerMarkCancelButton_ = nullptr;
};

}  // namespace mw
