// The editor window's history of map changes: Undo and Redo, what a step shows, and
// the changed state of the map that follows from the history and the window's size.
#include <QLineEdit>
#include <QPushButton>

#include "editor/form1.h"
#include "editor/map_history.h"

namespace mw {

void TForm1::UndoMenuItemClick() {
  mapHistory_->Stack().undo();
}

void TForm1::RedoMenuItemClick() {
  mapHistory_->Stack().redo();
}

void TForm1::ShowMapStep(const MapStep& step) {
  // Marks may have moved in the map: a drag or the arrow keys start over.
  if (drag_.Cancel()) CancelDragAction->setEnabled(false);
  keyedMark_.reset();
  // Undo and redo show the clip of the step, without going through the clip history.
  if (step.replayed && step.clip && *step.clip != ClipOnScreen()) {
    Edit1->setText(QString::fromLocal8Bit(*step.clip));
    Edit1->selectAll();
    ShowClip();
  }
  RefreshMarkPanels();
  emit MapContentChanged();
}

bool TForm1::MapChanged() const {
  return SaveMapButton->isEnabled();
}

void TForm1::SetMapChanged(bool changed) {
  if (changed) {
    sizeChanged_ = true;
  } else {
    sizeChanged_ = false;
    mapHistory_->MarkSaved();
  }
  UpdateSaveState();
}

void TForm1::UpdateSaveState() {
  SaveMapButton->setEnabled(sizeChanged_ || !mapHistory_->AtSavePoint());
  ShowChangedInTitle();
}

void TForm1::ShowChangedInTitle() {
  // Save Map may sit on the hidden advance toolbar: the title shows unsaved changes.
  QString title = windowTitle();
  if (title.startsWith('*')) title.remove(0, 1);
  setWindowTitle(MapChanged() ? "*" + title : title);
}

}  // namespace mw
