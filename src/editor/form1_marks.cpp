// The editor window's marks: the pointer over the clip, following a mark, the mark
// panels of edit mode, and adding, editing and deleting marks.
#include <QAction>
#include <QCheckBox>
#include <QCursor>
#include <QFrame>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QToolTip>
#include <algorithm>
#include <climits>
#include <limits>

#include "desktop/desktop.h"
#include "editor/form1.h"
#include "editor/formclickermark.h"
#include "editor/map_history.h"
#include "editor/mark_panel.h"
#include "editor/mark_size_box.h"
#include "media/clip_display.h"
#include "media/clip_panel.h"
#include "media/display_text.h"

namespace mw {

namespace {

// A mark's message stays for as long as the pointer rests on the mark.
constexpr int kRestingHintMs = std::numeric_limits<int>::max();

// A clip-area coordinate moved by the clip area's origin, kept within int range.
int OnBasePanel(int origin, int coordinate) {
  return static_cast<int>(std::clamp<long long>(static_cast<long long>(origin) + coordinate,
                                                INT_MIN / 2, INT_MAX / 2));
}

}  // namespace

float TForm1::FractionOf(int pixel, int extent) {
  return extent > 0 ? static_cast<float>(static_cast<double>(pixel) / extent) : 0.0f;
}

AreaSize TForm1::ClipArea() const { return {Panel1->width(), Panel1->height()}; }

QPoint TForm1::ClipAreaOrigin() const { return Panel1->pos(); }

// A position on an overlay control, in clip-area pixels.
QPoint TForm1::OnClipArea(const QWidget* control, QPoint position) const {
  return position + control->pos() - ClipAreaOrigin();
}

void TForm1::TrackPointer(int x, int y) {
  pointerOnClip_ = true;
  if (x == LastMouseX && y == LastMouseY) return;
  keyedMark_.reset();
  LastMouseX = x;
  LastMouseY = y;
  CoordinatesLabel->setText(QString("(%1 , %2)").arg(x).arg(y));
  QPoint origin = ClipAreaOrigin();
  if (EditMode->isChecked()) {
    int size = tolerance->MarkSize();
    Shape1->move(origin + QPoint(x - size, y - size));
    Shape1->show();
    Shape1->raise();
    return;
  }
  ClickerPointer->move(origin + QPoint(x, y));
  ClickerPointer->show();
  ClickerPointer->raise();
  // The hint of the mark under the pointer (MarkHintAt, without copying a long message).
  auto found = FindMarkAt(clipMap_, ClipOnScreen(), ClipArea(), x, y);
  QString hint = found ? TextForDisplay(clipMap_.At(*found).Hint) : QString();
  if (hint != ClickerPointer->toolTip() && QToolTip::isVisible()) QToolTip::hideText();
  ClickerPointer->setToolTip(hint);
}

bool TForm1::ShowMarkHint(QWidget* receiver, const QHelpEvent& help) {
  if (EditMode->isChecked() || !ClickerPointer->isVisible()) return false;
  QPoint at = receiver->mapTo(Panel1, help.pos());
  auto found = FindMarkAt(clipMap_, ClipOnScreen(), ClipArea(), at.x(), at.y());
  if (!found) return false;
  // The message stays while the pointer is on the mark and goes when it leaves it.
  PanelRect mark = MarkPanelRect(clipMap_.At(*found), ClipArea());
  QRect onReceiver(receiver->mapFrom(Panel1, QPoint(mark.left, mark.top)),
                   QSize(mark.width, mark.height));
  QToolTip::showText(help.globalPos(), TextForDisplay(clipMap_.At(*found).Hint), receiver,
                     onReceiver, kRestingHintMs);
  return true;
}

void TForm1::FollowMarkAt(int x, int y) {
  std::string target = MarkTargetAt(clipMap_, ClipOnScreen(), ClipArea(), x, y);
  if (!target.empty() && GoToClip(target) == ClipKind::MovieClip) clips_->Player().Play();
  UpdateClipButtons();
}

void TForm1::RemoveMarkPanels() {
  for (QWidget* panel : MarkPanels) {
    panel->hide();
    if (panel == overlayInEvent_) {
      // The panel whose event is being handled goes once that event is over.
      panel->setParent(nullptr);
      panel->deleteLater();
      overlayInEvent_ = nullptr;
    } else {
      delete panel;
    }
  }
  MarkPanels.clear();
  MarkPanelMarks.clear();
}

void TForm1::RefreshMarkPanels() {
  RemoveMarkPanels();
  if (!EditMode->isChecked()) return;
  const std::string clip = ClipOnScreen();
  const AreaSize area = ClipArea();
  const QPoint origin = ClipAreaOrigin();
  for (std::size_t index = 0; index < clipMap_.Count(); ++index) {
    const ClickerMark& mark = clipMap_.At(index);
    if (mark.Clip != clip) continue;
    auto* panel = new MarkPanel(QString::fromLocal8Bit(MarkPanelCaption(mark.NextClip)), BasePanel);
    panel->SetSelected(selectedMark_ == index);
    PanelRect rect = MarkPanelRect(mark, area);
    panel->setGeometry(OnBasePanel(origin.x(), rect.left), OnBasePanel(origin.y(), rect.top),
                       rect.width, rect.height);
    panel->setMouseTracking(true);
    panel->installEventFilter(this);
    MarkPanels.push_back(panel);
    MarkPanelMarks.push_back(static_cast<std::size_t>(&mark - clipMap_.Marks().data()));
    panel->show();
    panel->raise();
  }
  // The hover square stays above the panels, under the pointer, as a move leaves it.
  if (Shape1->isVisible()) Shape1->raise();
}

void TForm1::HideShape1AndClickerPointer() {
  pointerOnClip_ = false;
  Shape1->hide();
  ClickerPointer->hide();
}

bool TForm1::IsPointerOverlay(const QObject* watched) const {
  return watched == Shape1 || watched == ClickerPointer ||
         std::find(MarkPanels.begin(), MarkPanels.end(), watched) != MarkPanels.end();
}

bool TForm1::OverlayEvent(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (watched == Panel2 || watched == Panel3) {
    if (type == QEvent::MouseMove || type == QEvent::Enter) HideShape1AndClickerPointer();
    return false;
  }
  if (type == QEvent::ToolTip && (watched == Panel1 || watched == Panel1->Image1()))
    return ShowMarkHint(static_cast<QWidget*>(watched), *static_cast<QHelpEvent*>(event));
  if (type == QEvent::Wheel && watched == Panel1) return WheelEventOn(Panel1, event);
  // Whichever overlay the pointer lands on (the hover square, a mark panel, the pointer
  // dot), its moves, buttons and wheel are the clip area's.
  if (!IsPointerOverlay(watched)) return false;
  auto* control = static_cast<QWidget*>(watched);
  const QScopedValueRollback<QObject*> inEvent(overlayInEvent_, watched);
  if (type == QEvent::Wheel) return WheelEventOn(control, event);
  // A quick second press arrives as a double click; it is a press all the same.
  const bool press = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick;
  if (type != QEvent::MouseMove && !press && type != QEvent::MouseButtonRelease) return false;
  auto* mouse = static_cast<QMouseEvent*>(event);
  QPoint at = OnClipArea(control, mouse->position().toPoint());
  if (type == QEvent::MouseMove) {
    TrackPointer(at.x(), at.y());
    if (mouse->buttons() & Qt::LeftButton) LeftMoveOnClip(at);
  }
  if (press && mouse->button() == Qt::LeftButton) LeftPressOnClip(at);
  if (type == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton)
    LeftReleaseOnClip(at);
  if (type == QEvent::MouseButtonRelease) Shape1MouseUp(mouse->button());
  return true;
}

// --- edit mode ---

void TForm1::EditModeClick() {
  EditModeMenuItem->setChecked(EditMode->isChecked());
  tolerance->setEnabled(EditMode->isChecked());
  RefreshMarkPanels();
  RetrackPointer();
}

void TForm1::RetrackPointer() {
  // The overlay of the other mode comes where the pointer rests, without waiting for it
  // to move: the hover square in edit mode, the pointer dot in play mode.
  const bool onClip = pointerOnClip_;
  Shape1->hide();
  ClickerPointer->hide();
  if (!onClip) return;
  const int x = LastMouseX, y = LastMouseY;
  LastMouseX = x + 1;  // a position TrackPointer takes as new
  TrackPointer(x, y);
}

void TForm1::EditModeMenuItemClick() {
  EditMode->setChecked(!EditMode->isChecked());
  EditModeMenuItem->setChecked(EditMode->isChecked());
  EditModeClick();
}

void TForm1::toleranceChange() {
  int side = 2 * tolerance->MarkSize();
  Shape1->resize(side, side);
}

void TForm1::Shape1MouseUp(Qt::MouseButton button) {
  if (button != Qt::RightButton || !EditMode->isChecked()) return;
  EditPointX = LastMouseX;
  EditPointY = LastMouseY;
  const std::string clip = ClipOnScreen();
  std::string target = MarkTargetAt(clipMap_, clip, ClipArea(), EditPointX, EditPointY);
  if (ClickerMarkForm) {
    ClickerMarkForm->SetNextClipText(target);
    ClickerMarkForm->SetHintMessageText(
        MarkHintAt(clipMap_, clip, ClipArea(), EditPointX, EditPointY));
  }
  const bool existing = !target.empty();
  AddClickMarkMenuItem->setText(existing ? "Edit clicker mark..." : "Add new clicker mark...");
  AddClickMarkMenuItem->setEnabled(true);
  DeleteClickMarkMenuItem->setEnabled(existing);
  if (!ClipShown()) {
    AddClickMarkMenuItem->setEnabled(false);
    DeleteClickMarkMenuItem->setEnabled(false);
  }
  PopupMenu1->popup(QCursor::pos());
}

void TForm1::AddClickMarkMenuItemClick() {
  if (!ClickerMarkForm) return;
  const bool existing =
      !MarkTargetAt(clipMap_, ClipOnScreen(), ClipArea(), EditPointX, EditPointY).empty();
  ClickerMarkForm->SetGotoNewClipEnabled(!existing);
  if (desktop_.ShowModal(*ClickerMarkForm) != kModalOk) {
    UpdateClipButtons();
    return;
  }
  if (existing) {
    // Editing is deleting and adding, and one step of the history.
    ScopedStep edit(*mapHistory_, kEditMarkStep);
    PlaceMarkFromDialog(true);
  } else {
    PlaceMarkFromDialog(false);
  }
  UpdateClipButtons();
}

void TForm1::PlaceMarkFromDialog(bool existing) {
  if (existing) DeleteClickMarkMenuItemClick();
  const std::string startClip = ClipOnScreen();
  const std::string target = ClickerMarkForm->NextClipText();
  if (GoToClip(target) == ClipKind::NoClip) {
    ShowOkMessage(desktop_, "Failed to open the clip file:\n" + target +
                                "\n(Note: some formats of photos and movie clips may not be "
                                "accepted with MarkWeaver)");
    DropLastClip();
    ShowClip();
    return;
  }
  AppendMark(EditPointX, EditPointY, startClip, ClickerMarkForm->HintMessageText());
  RefreshMarkPanels();
  if (ClickerMarkForm->BackToCurrentClip()) GoToClip(startClip);
  if (existing) {
    for (int i = 0; i < 2 && history_.Count() > 1; ++i) DropLastClip();
    ShowClip();
  }
}

void TForm1::AppendMark(int x, int y, const std::string& startClip, const std::string& message) {
  const AreaSize area = ClipArea();
  ClickerMark mark;
  mark.Clip = startClip;
  mark.X = FractionOf(x, area.width);
  mark.Y = FractionOf(y, area.height);
  mark.Size = tolerance->MarkSize();
  mark.NextClip = ClipOnScreen();
  mark.Reserved = "<reserved>";
  mark.AreaWidth = area.width;
  mark.AreaHeight = area.height;
  mark.Hint = message;
  mapHistory_->AddMark(std::move(mark));
}

void TForm1::DeleteClickMarkMenuItemClick() {
  auto found = FindMarkAt(clipMap_, ClipOnScreen(), ClipArea(), EditPointX, EditPointY);
  if (found) mapHistory_->DeleteMark(*found);
}

}  // namespace mw
