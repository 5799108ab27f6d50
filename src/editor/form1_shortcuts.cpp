// The editor window's keyboard: its shortcuts, the Undo and Redo items of the command
// menu, the keys shown beside menu items and in button hints, and the keys that stay
// with a text box that has the focus.
#include <QAction>
#include <QCheckBox>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include "editor/form1.h"
#include "editor/map_history.h"
#include "editor/mark_size_box.h"

namespace mw {
namespace {

const QKeySequence kPreviousClipKey(Qt::ALT | Qt::Key_Left);
const QKeySequence kNextClipKey(Qt::ALT | Qt::Key_Right);

// A hint followed by its key, as "Save map (Ctrl+S)".
QString WithKey(const QString& hint, const QKeySequence& key) {
  return hint + " (" + key.toString(QKeySequence::PortableText) + ")";
}

void ShowKeyInHint(QWidget* control, const QKeySequence& key) {
  control->setToolTip(WithKey(control->toolTip(), key));
}

// Keys that edit or move the cursor in a text box: there they are the box's.
bool TextBoxKey(int key) {
  switch (key) {
    case Qt::Key_Delete:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
      return true;
    default:
      return false;
  }
}

}  // namespace

std::string TForm1::NextClipHint() const {
  return WithKey(QString::fromLocal8Bit(history_.NextHint()), kNextClipKey)
      .toLocal8Bit()
      .toStdString();
}

QAction* TForm1::AddWindowAction(const char* name, const QKeySequence& key) {
  auto* action = new QAction(this);
  action->setObjectName(name);
  action->setShortcut(key);
  addAction(action);
  return action;
}

void TForm1::BuildShortcuts() {
  // The command menu's items, with their keys working in the whole window.
  const std::pair<QAction*, QKeySequence> menuKeys[] = {
      {LoadMap1, QKeySequence(Qt::CTRL | Qt::Key_O)},
      {ClearMap1, QKeySequence(Qt::CTRL | Qt::Key_N)},
      {SaveMap1, QKeySequence(Qt::CTRL | Qt::Key_S)},
      {SaveMapas1, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
      {EditModeMenuItem, QKeySequence(Qt::CTRL | Qt::Key_E)}};
  for (const auto& [item, key] : menuKeys) {
    item->setShortcut(key);
    addAction(item);
  }
  ShowKeyInHint(Button1, LoadMap1->shortcut());
  ShowKeyInHint(ClearMapButton, ClearMap1->shortcut());
  ShowKeyInHint(SaveMapButton, SaveMap1->shortcut());
  ShowKeyInHint(SaveAsButton, SaveMapas1->shortcut());
  ShowKeyInHint(EditMode, EditModeMenuItem->shortcut());

  UndoMenuItem = mapHistory_->Stack().createUndoAction(this);
  UndoMenuItem->setObjectName("UndoMenuItem");
  UndoMenuItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  RedoMenuItem = mapHistory_->Stack().createRedoAction(this);
  RedoMenuItem->setObjectName("RedoMenuItem");
  RedoMenuItem->setShortcuts(
      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
  PopupMenu2->addSeparator();
  PopupMenu2->addAction(UndoMenuItem);
  PopupMenu2->addAction(RedoMenuItem);
  addAction(UndoMenuItem);
  addAction(RedoMenuItem);

  // Keys of the window alone. The mark menu shows Delete beside its item.
  DeleteClickMarkMenuItem->setShortcut(QKeySequence(Qt::Key_Delete));
  connect(AddWindowAction("DeleteMarkAction", QKeySequence(Qt::Key_Delete)), &QAction::triggered,
          this, &TForm1::DeleteMarkUnderPointer);
  const struct {
    const char* name;
    int key;
    int dx, dy;
  } arrows[] = {{"MarkLeftAction", Qt::Key_Left, -1, 0},
                {"MarkRightAction", Qt::Key_Right, 1, 0},
                {"MarkUpAction", Qt::Key_Up, 0, -1},
                {"MarkDownAction", Qt::Key_Down, 0, 1}};
  for (const auto& arrow : arrows) {
    const int dx = arrow.dx, dy = arrow.dy;
    connect(AddWindowAction(arrow.name, QKeySequence(arrow.key)), &QAction::triggered, this,
            [this, dx, dy] { NudgeMark(dx, dy); });
    connect(AddWindowAction(arrow.name, QKeySequence(Qt::SHIFT | arrow.key)), &QAction::triggered,
            this, [this, dx, dy] { NudgeMark(10 * dx, 10 * dy); });
  }
  connect(AddWindowAction("PreviousClipAction", kPreviousClipKey), &QAction::triggered, this,
          &TForm1::PreviousClipButtonClick);
  connect(AddWindowAction("NextClipAction", kNextClipKey), &QAction::triggered, this,
          &TForm1::NextClipButtonClick);
  ShowKeyInHint(PreviousClipButton, kPreviousClipKey);
  ShowKeyInHint(NextClipButton, kNextClipKey);
  const QKeySequence helpKey(Qt::Key_F1);
  connect(AddWindowAction("HelpAction", helpKey), &QAction::triggered, this,
          &TForm1::HelpButtonClick);
  ShowKeyInHint(HelpButton, helpKey);
  CancelDragAction = AddWindowAction("CancelDragAction", QKeySequence(Qt::Key_Escape));
  CancelDragAction->setEnabled(false);
  connect(CancelDragAction, &QAction::triggered, this, &TForm1::CancelDrag);

  for (QObject* box :
       std::initializer_list<QObject*>{tolerance, tolerance->findChild<QLineEdit*>()})
    if (box) box->installEventFilter(this);
}

bool TForm1::KeyStaysInTextBox(QObject* watched, QEvent* event) const {
  if (event->type() != QEvent::ShortcutOverride) return false;
  if (watched != MapFileName && watched != Edit1 && watched != tolerance &&
      watched->parent() != tolerance)
    return false;
  if (!TextBoxKey(static_cast<QKeyEvent*>(event)->key())) return false;
  event->accept();
  return true;
}

}  // namespace mw
