// The editor window's map commands and the first-use guide.
#include <QAction>
#include <QCheckBox>
#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <filesystem>

#include "desktop/desktop.h"
#include "editor/form1.h"
#include "editor/help_window.h"
#include "editor/hint_switch.h"
#include "editor/map_history.h"
#include "package/make_package.h"

namespace mw {
namespace {

constexpr const char* kNewMapQuestion =
    "This will clear the current map and start a new one.\nAre you sure?";

// The three steps of the first-use guide, each a text and its failure note.
constexpr const char* kGuideStep1 =
    "Welcome to MarkWeaver!\n"
    "To make a package of your CLIPS (your clickable photos and movies),\n"
    "you need to make a MAP to connect your clips together.\n"
    "Click OK to assign your map with a name and save it to file.\n";
constexpr const char* kGuideStep2 =
    "Now load your first clip as the starting screen.\n"
    "It can be a photo or a small movie file.\n"
    "Click OK to load the first clip.";
constexpr const char* kGuideStep3 =
    "You can now start making CLICKER MARKS on your clip.\n"
    "you can find all the commands and controls available below and also with the Menu "
    "button.\n"
    "Click on the Help button for further help.";

}  // namespace

std::optional<std::string> TForm1::RunOpenDialog1(const std::string& title,
                                                  const std::string& filter) {
  FileDialogRequest request{title, filter, "", lastOpenDialogPath_, false};
  std::optional<std::string> chosen = desktop_.ChooseFileToOpen(request);
  if (chosen) {
    lastOpenDialogPath_ = *chosen;
    MakeFolderOfCurrent(*chosen);
  }
  return chosen;
}

void TForm1::MakeFolderOfCurrent(const std::string& chosenFile) {
  std::error_code ignored;
  std::filesystem::path folder = std::filesystem::path(chosenFile).parent_path();
  if (!folder.empty()) std::filesystem::current_path(folder, ignored);
}

void TForm1::Button1Click() {
  if (!AskToSave()) return;
  auto chosen = RunOpenDialog1("Open the map file:", kMapFilter);
  if (!chosen) return;
  SetMapFileNameText(*chosen);
  LoadMap();
  SetMapChanged(false);
  WriteSettings();
  OfferClipsBesideMap();
}

void TForm1::MapFileNameKeyDown(int key) {
  if (key != Qt::Key_Return && key != Qt::Key_Enter) return;
  if (!AskToSave()) return;
  // The map read again counts as changed when it did before.
  const bool changed = MapChanged();
  LoadMap();
  if (changed) mapHistory_->ForgetSave();
}

void TForm1::ClearMapButtonClick() {
  if (!AskYesNo(desktop_, kNewMapQuestion, "?")) return;
  // A fresh history whose one step is the clearing, so that it can be taken back.
  mapHistory_->Restart(mapHistory_->AtSavePoint());
  mapHistory_->ClearMarks();
  SetClipAreaCaption("Map Loaded : " + MapFileNameText());
  RunGuide();
}

void TForm1::SaveAsButtonClick() { SaveMapAs(); }

bool TForm1::SaveMapAs() {
  FileDialogRequest request{"Save as map:", kMapFilter, std::string(kMapFileExtension),
                            MapFileNameText(), true};
  std::optional<std::string> chosen = desktop_.ChooseFileToSave(request);
  if (!chosen) return false;
  MakeFolderOfCurrent(*chosen);
  // A map that could not be written keeps its old name, title and settings file.
  if (!WriteMap(clipMap_, *chosen)) return false;
  SetMapChanged(false);
  SetMapFileNameText(*chosen);
  knownMapFile_.Know(MapFileNameText());
  WriteSettings();
  UpdateTitle();
  return true;
}

bool TForm1::GuideStep(const char* text) {
  return desktop_.ShowMessage({text, "Information", MessageButtons::OkCancel,
                               MessageIcon::Information}) == MessageAnswer::Ok;
}

void TForm1::RunGuide() {
  if (!HintsOn()) return;
  if (!GuideStep(kGuideStep1)) return;
  if (!SaveMapAs()) {
    ShowOkMessage(desktop_, "New map was not saved", "Note");
    return;
  }
  if (!GuideStep(kGuideStep2)) return;
  if (!BrowseForClip()) {
    ShowOkMessage(desktop_, "First clip was not loaded", "Note");
    return;
  }
  if (!GuideStep(kGuideStep3)) return;
  EditMode->setChecked(true);
  EditModeClick();
}

// --- toolbar and menu ---

void TForm1::MenuButtonClick() { PopupMenu2->popup(QCursor::pos()); }

void TForm1::ShowHintButtonClick() {
  hintSwitch_->SetHintsOn(ShowHintButton->isChecked());
  ShowHintMenuItem->setChecked(hintSwitch_->HintsOn());
}

void TForm1::ShowHintMenuItemClick() {
  ShowHintButton->setChecked(!ShowHintButton->isChecked());
  ShowHintMenuItem->setChecked(ShowHintButton->isChecked());
  ShowHintButtonClick();
}

void TForm1::AdvanceMenuItemClick() {
  // The item's check mark has flipped already when it is triggered.
  ShowAdvanceToolbar(AdvanceMenuItem->isChecked());
}

void TForm1::ShowAdvanceToolbar(bool on) {
  if (on) {
    Panel2->show();
    Panel2->setFixedHeight(AdvanceToolbarHeight);
  } else {
    Panel2->hide();
  }
  FormResize();
}

void TForm1::HelpButtonClick() { ShowHelp(*this, desktop_, ProgramFolder() + "readme.txt"); }

void TForm1::AttachWindows(const EditorWindows& windows) {
  AdForm = windows.adForm;
  ClickerMarkForm = windows.clickerMarkForm;
  MakePackageForm = windows.makePackageForm;
  PackageResultForm = windows.packageResultForm;
  progress_.SetForm(windows.progressForm);
}

void TForm1::MakePackageButtonClick() {
  if (!MakePackageForm || !PackageResultForm) return;
  if (!PackageProblemsAccepted()) return;
  mw::MakePackageButtonClick({clipMap_, OuterSize(), progress_, desktop_, ProgramFolder(),
                              *MakePackageForm, *PackageResultForm});
}

void TForm1::ReportProgress(const std::string& text, int percent) {
  progress_.ReportProgress(text, percent);
}

void TForm1::AboutButtonClick() {
  if (AdForm) desktop_.ShowModal(*AdForm);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (KeyStaysInTextBox(watched, event)) return true;
  if (event->type() == QEvent::KeyPress) {
    int key = static_cast<QKeyEvent*>(event)->key();
    if (watched == MapFileName) MapFileNameKeyDown(key);
    if (watched == Edit1) Edit1KeyDown(key);
    return false;
  }
  if (OverlayEvent(watched, event)) return true;
  return QWidget::eventFilter(watched, event);
}

}  // namespace mw
