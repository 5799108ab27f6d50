#pragma once
// The editor window: owner of the map being edited and of every editing state.

#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "map/clip_map.h"
#include "map/map_file.h"
#include "media/clip_history.h"
#include "media/clip_kind.h"
#include "media/mark_geometry.h"
#include "media/movie_player.h"
#include "package/progress_reporter.h"

class QCheckBox;
class QDialog;
class QFrame;
class QHelpEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QPushButton;
class QSlider;
class QTimer;
class QToolButton;
class TMakePackageForm;
class TPackageResultForm;
class TProgressForm;

namespace mw {

class ClipDisplay;
class ClipPanel;
class Desktop;
class HintSwitch;
class MarkSizeBox;
class MovieControlBar;
class TClickerMarkForm;

// The windows that the editor window opens; any may be missing in a test.
struct EditorWindows {
  QDialog* adForm = nullptr;
  TClickerMarkForm* clickerMarkForm = nullptr;
  TProgressForm* progressForm = nullptr;
  TPackageResultForm* packageResultForm = nullptr;
  TMakePackageForm* makePackageForm = nullptr;
};

// What the editor window is given besides its Desktop.
struct EditorOptions {
  std::string programFolder;            // with a trailing "/"
  MoviePlayer::Options movie;           // tests play movies without sound
  // A map named at program start, loaded in place of the settings file's map as Load
  // Map loads a chosen file.
  std::optional<std::string> startMap = std::nullopt;
};

// Texts made once at program start and shared by several parts of the editor.
inline constexpr const char* kProductName = "MarkWeaver";
inline constexpr const char* kMapFilter = "MarkWeaver map files(*.clm)|*.clm|All file types|*.*";
inline constexpr const char* kClipFilter =
    "Clip files(*.mpeg;*.mpg;*.jpg;*.jpeg)|*.mpeg;*.mpg;*.jpg;*.jpeg|All file types|*.*";

// The editor window. Every message box and file dialog goes through the Desktop it
// is given; `programFolder` (with a trailing "/") is where readme.txt, the player
// and the package tools lie.
class TForm1 : public QWidget {
  Q_OBJECT
 public:
  TForm1(Desktop& desktop, EditorOptions options, QWidget* parent = nullptr);
  // The windows made after this one at program start, used by its commands.
  void AttachWindows(const EditorWindows& windows);
  ~TForm1() override;

  // --- map storage and the save prompt ---
  // Reads the map named by MapFileName into the ClipMap, applies its window size
  // and shows its start clip.
  void LoadMap();
  // Writes `marks` to `fileName` with the window's present outer size; shows the
  // failure message and gives false when the map could not be written.
  bool WriteMap(const ClipMap& marks, const std::string& fileName);
  // Puts the map named by the settings file (or the default map) into MapFileName.
  void ReadSettings();
  // Rewrites the settings file with the text of MapFileName.
  void WriteSettings();
  // Names the map given at program start in MapFileName, with its folder as the
  // current directory, as Load Map does for a chosen file.
  void UseStartMap(const std::string& path);
  // Asks whether to save a changed map that has marks; Yes saves it.
  void AskToSave();
  // Writes the map to the file named in MapFileName; the map counts as unchanged
  // afterwards only when it was written.
  void SaveMapButtonClick();
  // "MarkWeaver Editor - " and the map's path.
  void UpdateTitle();

  // --- map commands ---
  void Button1Click();
  void MapFileNameKeyDown(int key);
  void ClearMapButtonClick();
  void SaveAsButtonClick();
  // Asks for a new name and saves the map under it; false when cancelled.
  bool SaveMapAs();
  // The first-use guide: name the map, load the first clip, edit mode.
  void RunGuide();

  // --- toolbar, menu, hints and help ---
  void MenuButtonClick();
  void ShowHintButtonClick();
  void ShowHintMenuItemClick();
  void AdvanceMenuItemClick();
  void ShowAdvanceToolbar(bool on);
  void HelpButtonClick();

  void AboutButtonClick();

  // --- packages ---
  // Builds a package of the map: clips, data file and player in one executable.
  void MakePackageButtonClick();
  // Shows a step of the package build and its gauge value.
  void ReportProgress(const std::string& text, int percent);
  const std::string& LastStepText() const { return progress_.LastStepText(); }

  // --- clips ---
  // Shows the clip named in Edit1.
  ClipKind ShowClip();
  // Puts `path` into Edit1 and the history as the current entry; shows nothing.
  void RecordClip(const std::string& path);
  // Records `path` and shows it.
  ClipKind GoToClip(const std::string& path);
  // Takes back the last history entry and returns to the one before (not shown).
  void DropLastClip();
  void UpdateClipButtons();
  // The clip file dialog; true when a clip is now shown.
  bool BrowseForClip();
  void PreviousClipButtonClick();
  void NextClipButtonClick();
  void OpenClipButtonClick();
  void Edit1KeyDown(int key);
  // Starts the map from its first clip, in play mode.
  void PlayButtonClick();
  // Fits the clip on screen to the clip area's present size.
  void FormResize();

  // --- marks over the clip ---
  // The pointer moved to (x, y) of the clip area.
  void TrackPointer(int x, int y);
  // The left button went down at (x, y): a mark there opens its target.
  void FollowMarkAt(int x, int y);
  void RefreshMarkPanels();
  void RemoveMarkPanels();
  void HideShape1AndClickerPointer();
  AreaSize ClipArea() const;

  // --- edit mode and mark editing ---
  void EditModeClick();
  void EditModeMenuItemClick();
  void toleranceChange();
  // A button was released over the hover square: the right one opens the mark menu.
  void Shape1MouseUp(Qt::MouseButton button);
  void AddClickMarkMenuItemClick();
  void DeleteClickMarkMenuItemClick();
  void AppendMark(int x, int y, const std::string& startClip, const std::string& message);

  // --- the window ---
  void Timer1Timer();
  void ExitButtonClick();

  // --- state read by other parts and by tests ---
  const ClipMap& Map() const { return clipMap_; }
  ClipMap& MutableMap() { return clipMap_; }
  bool MapChanged() const;
  void SetMapChanged(bool changed);
  std::string MapFileNameText() const;
  void SetMapFileNameText(const std::string& path);
  std::string ClipOnScreen() const;
  bool GuidePending() const { return guidePending_; }
  bool HintsOn() const;
  const std::string& ProgramFolder() const { return options_.programFolder; }
  const ClipHistory& History() const { return history_; }
  ClipDisplay& Clips() { return *clips_; }
  bool ClipShown() const;
  std::size_t MarkPanelCount() const { return MarkPanels.size(); }
  QMenu* MarkMenu() const { return PopupMenu1; }
  // The window's outer size (frame included where a window manager draws one).
  WindowSize OuterSize() const;
  void SetOuterSize(WindowSize size);
  Desktop& DesktopSeam() { return desktop_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Creation, in the order of its steps.
  void BuildLayout();
  void BuildMainToolbar();
  void BuildAdvanceToolbar();
  void BuildCommandMenu();
  void ConnectHandlers();
  void PrepareMapFile();
  // Applies a map that was read; reports what could not be read.
  void ApplyReadMap(MapFileContent& content);
  void ShowMessage(const std::string& text);
  // OpenDialog1: one open dialog shared by the map and clip commands; it starts
  // from the file last chosen in it, and a choice makes its folder current.
  std::optional<std::string> RunOpenDialog1(const std::string& title, const std::string& filter);
  static void MakeFolderOfCurrent(const std::string& chosenFile);
  // One information dialog of the guide; true on OK.
  bool GuideStep(const char* text);
  void SetClipAreaCaption(const std::string& caption);
  QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption,
                          const QString& hint, const QColor& color = QColor());

  // The mouse on the overlay controls and the toolbars.
  bool OverlayEvent(QObject* watched, QEvent* event);
  // Shows the message of the mark under a resting pointer, whichever control of the
  // clip area got the pointer's last move.
  bool ShowMarkHint(QWidget* receiver, const QHelpEvent& help);
  QPoint OnClipArea(const QWidget* control, QPoint position) const;
  QPoint ClipAreaOrigin() const;
  std::string NextClipHint() const;
  void BuildMarkMenu();

  Desktop& desktop_;
  const EditorOptions options_;
  TClickerMarkForm* ClickerMarkForm = nullptr;
  QDialog* AdForm = nullptr;
  TMakePackageForm* MakePackageForm = nullptr;
  TPackageResultForm* PackageResultForm = nullptr;
  ProgressReporter progress_;
  ClipDisplay* clips_ = nullptr;
  ClipHistory history_;
  std::vector<QWidget*> MarkPanels;

  // Editing state.
  ClipMap clipMap_;
  int LastMouseX = 0, LastMouseY = 0;
  int EditPointX = 0, EditPointY = 0;
  int AdvanceToolbarHeight = 35;
  int LastWidth = 0, LastHeight = 0;
  bool guidePending_ = false;
  bool exiting_ = false;
  bool outerSizeFitted_ = false;
  std::string lastOpenDialogPath_;

  // Controls, named as in the window layout.
  QFrame* BasePanel = nullptr;
  ClipPanel* Panel1 = nullptr;
  QFrame* Panel3 = nullptr;
  QFrame* Panel2 = nullptr;
  QPushButton* PlayButton = nullptr;
  QPushButton* PreviousClipButton = nullptr;
  QPushButton* NextClipButton = nullptr;
  QPushButton* MenuButton = nullptr;
  QLabel* Label3 = nullptr;
  MarkSizeBox* tolerance = nullptr;
  MovieControlBar* MediaPlayer1 = nullptr;
  QCheckBox* EditMode = nullptr;
  QPushButton* MakePackageButton = nullptr;
  QPushButton* HelpButton = nullptr;
  QPushButton* AboutButton = nullptr;
  QPushButton* ExitButton = nullptr;
  QPushButton* Button1 = nullptr;
  QLineEdit* MapFileName = nullptr;
  QPushButton* OpenClipButton = nullptr;
  QLineEdit* Edit1 = nullptr;
  QLabel* CoordinatesLabel = nullptr;
  QSlider* TrackBar1 = nullptr;
  QPushButton* SaveAsButton = nullptr;
  QPushButton* SaveMapButton = nullptr;
  QPushButton* ClearMapButton = nullptr;
  QPushButton* ShowHintButton = nullptr;
  QFrame* Shape1 = nullptr;
  QWidget* ClickerPointer = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QAction* AddClickMarkMenuItem = nullptr;
  QAction* DeleteClickMarkMenuItem = nullptr;
  QMenu* PopupMenu2 = nullptr;
  QAction* LoadMap1 = nullptr;
  QAction* ClearMap1 = nullptr;
  QAction* SaveMap1 = nullptr;
  QAction* SaveMapas1 = nullptr;
  QAction* EditModeMenuItem = nullptr;
  QAction* MakePackage1 = nullptr;
  QAction* LoadClip1 = nullptr;
  QAction* ShowHintMenuItem = nullptr;
  QAction* AdvanceMenuItem = nullptr;
  QTimer* Timer1 = nullptr;
  HintSwitch* hintSwitch_ = nullptr;
};

}  // namespace mw
