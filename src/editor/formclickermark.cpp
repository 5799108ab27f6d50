#include "editor/formclickermark.h"

#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <filesystem>
#include <system_error>

namespace mw {
namespace {

constexpr int kWindowWidth = 442;
constexpr int kWindowHeight = 263;
constexpr int kSidePanelWidth = 91;
constexpr double kHeadingScale = 1.35;

const char* const kFindTitle = "Open the next clip:";
const char* const kFindFilter =
    "Photos or Movie Clips|*.jpg;*.jpeg;*.mpeg;*.mpg|All file types|*.*";

QFrame* MakePanel(QWidget* parent, const char* name, const QRect& geometry) {
  auto* panel = new QFrame(parent);
  panel->setObjectName(name);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel->setGeometry(geometry);
  return panel;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, int left, int top) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setObjectName(name);
  label->move(left, top);
  label->adjustSize();
  return label;
}

QLineEdit* MakeTextBox(QWidget* parent, const char* name, const QRect& geometry) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(name);
  box->setGeometry(geometry);
  return box;
}

// No button of this dialog reacts to Enter, so Enter never closes it.
QPushButton* MakeButton(QWidget* parent, const char* name, const char* text,
                        const QRect& geometry) {
  auto* button = new QPushButton(QString::fromUtf8(text), parent);
  button->setObjectName(name);
  button->setGeometry(geometry);
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}

// File dialogs of this program leave the chosen file's folder as the current folder,
// where the settings file follows it.
void MakeFolderOfFileCurrent(const std::string& path) {
  std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (folder.empty()) return;
  std::error_code ignored;
  std::filesystem::current_path(folder, ignored);
}

}  // namespace

TClickerMarkForm::TClickerMarkForm(Desktop& desktop, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      desktop_(desktop) {
  setObjectName("ClickerMarkForm");
  setWindowTitle("Editing Clicker Mark");
  setFixedSize(kWindowWidth, kWindowHeight);
  BuildSidePanel();
  BuildMainPanel();
  SetKeyboardOrder();
}

void TClickerMarkForm::BuildSidePanel() {
  panel1_ = MakePanel(this, "Panel1",
                      QRect(kWindowWidth - kSidePanelWidth, 0, kSidePanelWidth, kWindowHeight));
  findNextClipButton_ = MakeButton(panel1_, "FindNextClipButton", "Find...", QRect(6, 54, 80, 33));
  editClickerMarkCancelButton_ =
      MakeButton(panel1_, "EditClickerMarkCancelButton", "Cancel", QRect(5, 110, 81, 29));
  connect(findNextClipButton_, &QPushButton::clicked, this,
          &TClickerMarkForm::FindNextClipButtonClick);
  connect(editClickerMarkCancelButton_, &QPushButton::clicked, this,
          [this] { done(kModalCancel); });
}

void TClickerMarkForm::BuildMainPanel() {
  panel2_ = MakePanel(this, "Panel2", QRect(0, 0, kWindowWidth - kSidePanelWidth, kWindowHeight));
  label1_ = new QLabel("Editing Clicker Mark", panel2_);
  label1_->setObjectName("Label1");
  QFont heading = label1_->font();
  heading.setBold(true);
  heading.setPointSizeF(heading.pointSizeF() * kHeadingScale);
  label1_->setFont(heading);
  label1_->move(25, 9);
  label1_->adjustSize();
  label2_ =
      MakeLabel(panel2_, "Label2", "When clicking on this mark, open the following clip:", 26, 34);
  nextClipEditBox_ = MakeTextBox(panel2_, "NextClipEditBox", QRect(26, 57, 312, 24));
  label3_ = MakeLabel(panel2_, "Label3", "Show a message when mouse is over this mark:", 26, 90);
  hintMessage_ = MakeTextBox(panel2_, "HintMessage", QRect(26, 112, 312, 24));
  hintMessage_->setText("click here");
  BuildClosingButtons(panel2_);
}

void TClickerMarkForm::BuildClosingButtons(QWidget* panel) {
  groupBox1_ = new QGroupBox("OK", panel);
  groupBox1_->setObjectName("GroupBox1");
  groupBox1_->setGeometry(25, 158, 312, 70);
  // The caption sits on the frame line, as in a classic group box.
  groupBox1_->setStyleSheet(
      "QGroupBox#GroupBox1 { border: 1px solid palette(mid); margin-top: 7px; }"
      "QGroupBox#GroupBox1::title { subcontrol-origin: margin; subcontrol-position: top left;"
      " left: 8px; padding: 0 3px; }");
  button1_ = MakeButton(groupBox1_, "Button1", "< Back to current clip", QRect(9, 22, 140, 28));
  editClickerMarkOkButton_ =
      MakeButton(groupBox1_, "EditClickerMarkOkButton", "> Goto new clip", QRect(165, 22, 138, 28));
  connect(button1_, &QPushButton::clicked, this, &TClickerMarkForm::Button1Click);
  connect(editClickerMarkOkButton_, &QPushButton::clicked, this, [this] { done(kModalOk); });
}

// The right-hand strip first, then the target box, the two closing buttons and the
// message box.
void TClickerMarkForm::SetKeyboardOrder() {
  QWidget* order[] = {findNextClipButton_,      editClickerMarkCancelButton_,
                      nextClipEditBox_,         button1_,
                      editClickerMarkOkButton_, hintMessage_};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
}

void TClickerMarkForm::SetNextClipText(const std::string& path) {
  nextClipEditBox_->setText(QString::fromLocal8Bit(path));
}

std::string TClickerMarkForm::NextClipText() const {
  return nextClipEditBox_->text().toLocal8Bit().toStdString();
}

void TClickerMarkForm::SetHintMessageText(const std::string& message) {
  hintMessage_->setText(QString::fromLocal8Bit(message));
}

std::string TClickerMarkForm::HintMessageText() const {
  return hintMessage_->text().toLocal8Bit().toStdString();
}

void TClickerMarkForm::SetGotoNewClipEnabled(bool enabled) {
  editClickerMarkOkButton_->setEnabled(enabled);
}

bool TClickerMarkForm::GotoNewClipEnabled() const {
  return editClickerMarkOkButton_->isEnabled();
}

void TClickerMarkForm::reject() {
  done(kModalCancel);
}

void TClickerMarkForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;  // the window coming back from being minimised
  FormShow();
}

void TClickerMarkForm::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Enter:
    case Qt::Key_Return:
      event->accept();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

void TClickerMarkForm::CentreOnScreen() {
  QScreen* shownOn = screen();
  if (shownOn == nullptr) return;
  QRect frame = frameGeometry();
  frame.moveCenter(shownOn->availableGeometry().center());
  move(frame.topLeft());
}

// Each showing starts on the "Find..." button, not yet going back to the current clip.
void TClickerMarkForm::FormShow() {
  backToCurrentClip_ = false;
  CentreOnScreen();
  findNextClipButton_->setFocus(Qt::OtherFocusReason);
}

void TClickerMarkForm::Button1Click() {
  backToCurrentClip_ = true;
  done(kModalOk);
}

void TClickerMarkForm::FindNextClipButtonClick() {
  FileDialogRequest request;
  request.title = kFindTitle;
  request.filter = kFindFilter;
  std::optional<std::string> chosen = desktop_.ChooseFileToOpen(request);
  if (!chosen) return;
  nextClipEditBox_->setText(QFile::decodeName(chosen->c_str()));
  MakeFolderOfFileCurrent(*chosen);
}

}  // namespace mw
