#include "editor/help_window.h"

#include <unistd.h>

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QTextBlock>
#include <QVBoxLayout>

#include "map/safe_file.h"

namespace mw {

namespace {

// A help file larger than this is no help text: it is not read.
constexpr std::size_t kMostHelpBytes = 16u << 20;

// The bytes of the regular file at `path`; false when it cannot be read whole.
bool ReadHelpFile(const std::string& path, std::string& bytes) {
  const int fd = OpenRegularFile(path);
  if (fd < 0) return false;
  bytes.clear();
  char block[65536];
  bool ok = true;
  for (;;) {
    const ssize_t got = ::read(fd, block, sizeof block);
    if (got == 0) break;
    if (got < 0 || bytes.size() + static_cast<std::size_t>(got) > kMostHelpBytes) {
      ok = false;
      break;
    }
    bytes.append(block, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return ok;
}

QPushButton* SearchButton(QWidget* parent, const char* name, const QString& text,
                          const QString& hint) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setToolTip(hint);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("HelpWindow");
  setWindowTitle("MarkWeaver Help");
  text_ = new QPlainTextEdit(this);
  text_->setObjectName("HelpText");
  text_->setReadOnly(true);
  text_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  search_ = new QLineEdit(this);
  search_->setObjectName("HelpSearch");
  search_->setPlaceholderText("Find in the help text");
  search_->setClearButtonEnabled(true);
  state_ = new QLabel(this);
  state_->setObjectName("HelpSearchState");
  QPushButton* next = SearchButton(this, "HelpFindNext", "Next", "Find the next place (F3)");
  QPushButton* previous =
      SearchButton(this, "HelpFindPrevious", "Previous", "Find the place before (Shift+F3)");

  auto* bar = new QHBoxLayout;
  bar->addWidget(search_, 1);
  bar->addWidget(previous);
  bar->addWidget(next);
  bar->addWidget(state_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(bar);
  layout->addWidget(text_, 1);
  resize(720, 560);

  connect(search_, &QLineEdit::returnPressed, this, [this] { FindFromField(false); });
  connect(search_, &QLineEdit::textChanged, this, [this] { state_->clear(); });
  connect(next, &QPushButton::clicked, this, [this] { FindFromField(false); });
  connect(previous, &QPushButton::clicked, this, [this] { FindFromField(true); });
  auto shortcut = [this](const QKeySequence& key, auto action) {
    connect(new QShortcut(key, this), &QShortcut::activated, this, action);
  };
  shortcut(QKeySequence::Find, [this] {
    search_->setFocus(Qt::ShortcutFocusReason);
    search_->selectAll();
  });
  shortcut(QKeySequence(Qt::Key_F3), [this] { FindFromField(false); });
  shortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { FindFromField(true); });
  shortcut(QKeySequence(Qt::Key_Escape), [this] { close(); });
}

bool HelpWindow::Load(const std::string& path) {
  std::string bytes;
  if (!ReadHelpFile(path, bytes)) return false;
  text_->setPlainText(QString::fromLocal8Bit(bytes));
  text_->moveCursor(QTextCursor::Start);
  setWindowFilePath(QString::fromLocal8Bit(path));
  return true;
}

void HelpWindow::FindFromField(bool backward) {
  Find(search_->text(), backward);
}

bool HelpWindow::Find(const QString& text, bool backward) {
  MarkEveryPlace(text);
  if (text.isEmpty()) {
    state_->clear();
    return false;
  }
  const QTextDocument::FindFlags flags =
      backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
  bool found = text_->find(text, flags);
  if (!found) {
    // Round from the other end.
    const QTextCursor kept = text_->textCursor();
    text_->moveCursor(backward ? QTextCursor::End : QTextCursor::Start);
    found = text_->find(text, flags);
    if (!found) text_->setTextCursor(kept);
  }
  state_->setText(found ? QString() : "Not found");
  return found;
}

// Gives every place of `text` a background, so that the person sees them all at once.
void HelpWindow::MarkEveryPlace(const QString& text) {
  QList<QTextEdit::ExtraSelection> marks;
  if (!text.isEmpty()) {
    QTextCursor place(text_->document());
    while (!(place = text_->document()->find(text, place)).isNull()) {
      QTextEdit::ExtraSelection mark;
      mark.cursor = place;
      mark.format.setBackground(QColor(255, 240, 120));
      marks.append(mark);
    }
  }
  text_->setExtraSelections(marks);
}

void ShowHelp(QWidget& owner, Desktop& desktop, const std::string& path) {
  QPointer<QWidget> guard(&owner);
  desktop.OpenOrTell(path, [guard, &desktop, path](const std::string&) {
    if (!guard) return;
    auto* window = guard->findChild<HelpWindow*>("HelpWindow", Qt::FindDirectChildrenOnly);
    if (!window) window = new HelpWindow(guard);
    if (!window->Load(path)) {
      delete window;
      desktop.ShowMessage({"The help text could not be read:\n" + path,
                           {},
                           MessageButtons::Ok,
                           MessageIcon::Warning});
      return;
    }
    window->show();
    window->raise();
    window->activateWindow();
  });
}

}  // namespace mw
