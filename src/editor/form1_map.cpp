// The editor window's map storage: loading, writing, the settings file and the
// save prompt.
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <system_error>

#include "desktop/desktop.h"
#include "editor/form1.h"
#include "editor/map_history.h"
#include "map/safe_file.h"
#include "map/settings.h"
#include "media/clip_panel.h"

namespace mw {
namespace {

constexpr const char* kSaveQuestion =
    "Do you want to save the current map?\n(It remembers your screen size, too)";

}  // namespace

void TForm1::ReadSettings() { SetMapFileNameText(mw::ReadSettings()); }

void TForm1::WriteSettings() { WriteSettingsFile(MapFileNameText()); }

void TForm1::UseStartMap(const std::string& path) {
  std::error_code ignored;
  const std::string full = std::filesystem::absolute(path, ignored).string();
  MakeFolderOfCurrent(full);
  SetMapFileNameText(full);
}

void TForm1::LoadMap() {
  LoadMapContent();
  emit MapContentChanged();
}

void TForm1::StartNewMap() {
  knownMapFile_.Forget();
  mapHistory_->Restart(true);
  clipMap_.Clear();
  UpdateTitle();
  SetClipAreaCaption("New map: " + MapFileNameText() + "\nIt is written when you save it.");
  // The window's present size is the new map's, also once a window manager frames it.
  SetOuterSize(OuterSize());
  emit MapContentChanged();
}

void TForm1::LoadMapContent() {
  // A map loaded later takes the place of the start map's question about moved clips.
  startMapOffer_ = false;
  mapHistory_->Restart(true);
  clipMap_.Clear();
  MapFileContent content = ReadMapFile(MapFileNameText());
  // A file that did not open as a map is not written over unasked by the next save.
  knownMapFile_.Forget();
  switch (content.status) {
    case MapReadStatus::OpenFailed:
      ShowMessage("Failed to open the map file!");
      ReadSettings();
      return;
    case MapReadStatus::InvalidHeader:
      ShowMessage("Invalid map file!");
      return;
    case MapReadStatus::BadSizeLine:
      desktop_.ShowMessage({"'" + content.badLine + "' is not a valid integer value", "",
                            MessageButtons::Ok, MessageIcon::Error});
      return;
    case MapReadStatus::Loaded:
      knownMapFile_.Know(MapFileNameText());
      ApplyReadMap(content);
      return;
  }
}

void TForm1::ApplyReadMap(MapFileContent& content) {
  // A file without size lines gives the window the clip area's present size, as the
  // window's layout gives it now.
  if (!content.windowSize) {
    layout()->activate();
    BasePanel->layout()->activate();
  }
  WindowSize size = content.windowSize.value_or(WindowSize{Panel1->width(), Panel1->height()});
  clipMap_ = std::move(content.marks);
  UpdateTitle();
  SetClipAreaCaption("Welcome to MarkWeaver. Click Play to start.");
  GoToClip(clipMap_.Empty() ? std::string() : clipMap_.First().Clip.str());
  SetOuterSize(size);
}

bool TForm1::WriteMap(const ClipMap& marks, const std::string& fileName) {
  MapWriteOutcome outcome = WriteMapFile(fileName, OuterSize(), marks.Marks());
  if (outcome.status == MapWriteStatus::Written) return true;
  ShowMessage(MapWriteFailureMessage(outcome));
  return false;
}

bool TForm1::AskToSave() {
  if (!MapChanged() || clipMap_.Empty()) return true;
  return !AskYesNo(desktop_, kSaveQuestion, "Save?") || SaveMapButtonClick();
}

bool TForm1::SaveMapButtonClick() {
  const std::string path = MapFileNameText();
  if (!MayWriteOver(path) || !WriteMap(clipMap_, path)) return false;
  knownMapFile_.Know(path);
  SetMapChanged(false);
  return true;
}

bool TForm1::MayWriteOver(const std::string& path) {
  const char* what = nullptr;
  switch (knownMapFile_.Over(path)) {
    case UnknownContent::None:
      return true;
    case UnknownContent::ChangedSince:
      what = " was changed by another program since it was opened or saved here.";
      break;
    case UnknownContent::NeverOpened:
      what = " did not open as a map here.";
      break;
  }
  return AskYesNo(desktop_,
                  "The file " + path + what +
                      "\n\nReplace it with the map in this window? (No keeps that file; "
                      "Save As can keep both.)",
                  "Replace?");
}

void TForm1::UpdateTitle() {
  setWindowTitle(QString(kProductName) + " Editor - " + MapFileName->text());
  ShowChangedInTitle();
}

}  // namespace mw
