// The editor window's clips: showing them, the history, Previous and Next, the
// clip dialog, the clip box and the Play button.
#include <QCheckBox>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>

#include "desktop/desktop.h"
#include "editor/form1.h"
#include "media/clip_display.h"
#include "media/mark_geometry.h"

namespace mw {
namespace {

QString FromLocal(const std::string& text) { return QString::fromLocal8Bit(text); }

}  // namespace

// A clip that is shown has the photos its marks open decoded ahead.
ClipKind TForm1::ShowClip() {
  const std::string clip = ClipOnScreen();
  const ClipKind kind = clips_->ShowClip(clip);
  if (kind != ClipKind::NoClip) clips_->PrefetchTargets(MarkTargetsOn(clipMap_, clip));
  return kind;
}

bool TForm1::ClipShown() const { return clips_->ClipShown(); }

void TForm1::RecordClip(const std::string& path) {
  Edit1->setText(FromLocal(path));
  Edit1->selectAll();
  history_.Record(path);
  NextClipButton->setToolTip(FromLocal(NextClipHint()));
}

ClipKind TForm1::GoToClip(const std::string& path) {
  RecordClip(path);
  return ShowClip();
}

void TForm1::DropLastClip() {
  history_.DropLast();
  Edit1->setText(FromLocal(history_.Empty() ? std::string() : history_.Current()));
  Edit1->selectAll();
  NextClipButton->setToolTip(FromLocal(NextClipHint()));
}

void TForm1::UpdateClipButtons() {
  PreviousClipButton->setEnabled(history_.PreviousEnabled());
  NextClipButton->setEnabled(history_.NextEnabled());
}

bool TForm1::BrowseForClip() {
  auto chosen = RunOpenDialog1("Open clip file:", kClipFilter);
  return chosen && GoToClip(*chosen) != ClipKind::NoClip;
}

void TForm1::OpenClipButtonClick() { BrowseForClip(); }

void TForm1::PreviousClipButtonClick() {
  if (!history_.Previous()) return;
  Edit1->setText(FromLocal(history_.Current()));
  Edit1->selectAll();
  ShowClip();
  UpdateClipButtons();
}

void TForm1::NextClipButtonClick() {
  if (!history_.Next()) return;
  Edit1->setText(FromLocal(history_.Current()));
  Edit1->selectAll();
  ShowClip();
  UpdateClipButtons();
}

void TForm1::Edit1KeyDown(int key) {
  if (key == Qt::Key_Return || key == Qt::Key_Enter) GoToClip(ClipOnScreen());
}

void TForm1::PlayButtonClick() {
  clips_->CloseMovie();
  Shape1->hide();
  EditMode->setChecked(false);
  EditModeClick();
  UpdateTitle();
  if (clipMap_.Empty()) return;
  if (GoToClip(clipMap_.First().Clip.str()) == ClipKind::MovieClip) clips_->Player().Play();
}

void TForm1::FormResize() { clips_->FormResize(); }

}  // namespace mw
