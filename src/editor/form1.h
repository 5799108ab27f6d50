#pragma once
// The editor window: owner of the map being edited and of every editing state.

#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "map/clip_map.h"
#include "editor/mark_drag.h"
#include "map/known_map_file.h"
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
class QKeySequence;
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
class TMapCheckForm;
class TMapOverviewForm;
class TWebExportForm;
class TWebExportProgressForm;
class TWebExportResultForm;
struct WebExportChoice;
class HintSwitch;
class MapHistory;
struct MapStep;
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
  // Asks whether to save a changed map that has marks; Yes saves it. False when the save
  // did not happen after Yes: the command that asked goes no further, so nothing is lost.
  bool AskToSave();
  // Writes the map to the file named in MapFileName, asking first when that file changed
  // since it was read or written here, or never opened as a map; the map counts as
  // unchanged afterwards only when it was written. True when it was written.
  bool SaveMapButtonClick();
  // "MarkWeaver Editor - " and the map's path, after a "*" while the map has unsaved
  // changes.
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

  // --- map check and map overview ---
  // Checks the map and lists its problems in the Check Map window.
  void CheckMapMenuItemClick();
  // Opens the Map Overview window on the map.
  void MapOverviewMenuItemClick();
  // Shows `clip` in edit mode, with the panel of mark `markIndex`, if given, selected.
  void ShowMapPlace(const std::string& clip, std::optional<std::size_t> markIndex);
  // Checks the map before a package is made and asks whether to go on when it has
  // problems; true when the package may be made.
  bool PackageProblemsAccepted();
  // The same check before any other use of the map, ending with `question`.
  bool MapProblemsAccepted(const std::string& question);

  // --- maps that travel ---
  // Points the missing clips at files found under a folder the person chooses.
  void FindMissingClipsMenuItemClick();
  // Copies the map's clips into the folder beside the map and saves the map.
  void GatherClipsMenuItemClick();
  // After a map was loaded: when clips are missing and files found beside the map match
  // them, asks once whether to use them.
  void OfferClipsBesideMap();

  // --- web export ---
  // Exports the map for web browsers: the map check's question, the dialog, the
  // export with its progress window, and its result or failure.
  void ExportForWebMenuItemClick();
  TWebExportForm* WebExportWindow() const { return webExportForm_; }
  TWebExportProgressForm* WebExportProgressWindow() const { return webExportProgressForm_; }
  TMapCheckForm* MapCheckWindow() const { return mapCheckForm_; }
  TMapOverviewForm* MapOverviewWindow() const { return mapOverviewForm_; }
  // The mark whose panel is shown selected, if any.
  std::optional<std::size_t> SelectedMark() const { return selectedMark_; }
  // Whether the `k`-th mark panel on screen is drawn selected.
  bool MarkPanelSelected(std::size_t k) const;

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

  // --- direct editing of marks in edit mode ---
  // The left button went down, moved with the button held, or went up over the clip
  // area: in edit mode a mark is dragged, or followed on a release without a drag.
  void LeftPressOnClip(QPoint at);
  void LeftMoveOnClip(QPoint at);
  void LeftReleaseOnClip(QPoint at);
  // Escape during a drag: the mark goes back where it was.
  void CancelDrag();
  // The wheel turned over (x, y) by `angleDelta` (120 a notch) at `atMs` milliseconds;
  // in edit mode the mark there grows or shrinks. True when the wheel was used.
  bool WheelOnClip(QPoint at, int angleDelta, std::int64_t atMs);
  // The Delete key: deletes the mark under the pointer.
  void DeleteMarkUnderPointer();
  // An arrow key: moves the mark under the pointer by (dx, dy) pixels.
  void NudgeMark(int dx, int dy);

  // --- history of the map ---
  // Every change to the map goes through it; its stack drives Undo and Redo.
  MapHistory& EditHistory() { return *mapHistory_; }
  void UndoMenuItemClick();
  void RedoMenuItemClick();

  // --- the window ---
  void Timer1Timer();
  void ExitButtonClick();

  // --- state read by other parts and by tests ---
  const ClipMap& Map() const { return clipMap_; }
  ClipMap& MutableMap() { return clipMap_; }
  // The map counts as changed while its history is away from the last save, or after
  // the window was resized; shown by the enabled state of Save Map.
  bool MapChanged() const;
  // false: the present map counts as saved. true: the window was resized.
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
  // Gives the window the outer size `size`, also once a window manager frames it later.
  void SetOuterSize(WindowSize size);
  Desktop& DesktopSeam() { return desktop_; }

 signals:
  // The marks of the map changed: a step was done, undone or redone, or a map was loaded.
  void MapContentChanged();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void leaveEvent(QEvent* event) override;
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
  // LoadMap without telling that the map changed.
  void LoadMapContent();
  // A map named at program start that does not exist yet: an empty map under its name.
  void StartNewMap();
  // Applies a map that was read; reports what could not be read.
  void ApplyReadMap(MapFileContent& content);
  // Whether the map may be written at `path`: asks when that would replace a file the
  // editor did not read or write there last.
  bool MayWriteOver(const std::string& path);
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
  // The controls over the clip area that the pointer can land on.
  bool IsPointerOverlay(const QObject* watched) const;
  // After a change of mode: the overlay of the new mode where the pointer rests.
  void RetrackPointer();
  // Shows the message of the mark under a resting pointer, whichever control of the
  // clip area got the pointer's last move.
  bool ShowMarkHint(QWidget* receiver, const QHelpEvent& help);
  QPoint OnClipArea(const QWidget* control, QPoint position) const;
  QPoint ClipAreaOrigin() const;
  std::string NextClipHint() const;
  void BuildMarkMenu();
  // Keyboard shortcuts of the window, shown beside menu items and in button hints.
  void BuildShortcuts();
  QAction* AddWindowAction(const char* name, const QKeySequence& key);
  // In a text box, the keys that mean something there stay with the box.
  bool KeyStaysInTextBox(QObject* watched, QEvent* event) const;
  // After a step of the history: a step undone or redone on another clip shows that clip.
  void ShowMapStep(const MapStep& step);
  void UpdateSaveState();
  // Puts the "*" of unsaved changes before the title, or takes it away.
  void ShowChangedInTitle();
  // The frame's share of the outer size (nothing until a window manager framed it).
  QSize FrameExtent() const;
  // At each tick: refits the map's outer size to a new frame, or takes a size the person
  // gave the window as a change of the map.
  void FollowWindowSize();
  // The mark under the pointer in edit mode, if any.
  std::optional<std::size_t> MarkUnderPointer() const;
  // A point of the clip area as a mark centre, as AppendMark computes it.
  std::pair<float, float> CentreAt(QPoint at) const;
  void ShowDraggedPanel(QPoint at);
  bool EditModeOn() const;
  // A wheel event on an overlay control; true when it was used.
  bool WheelEventOn(QWidget* control, QEvent* event);
  // The part of the mark dialog's OK that changes the map and goes to the clips.
  void PlaceMarkFromDialog(bool existing);
  // A pixel position as a fraction of the area's extent, as marks store it.
  static float FractionOf(int pixel, int extent);
  // Tells the windows that follow the map that it has changed.
  void MapEdited();
  void ShowChosenProblem(int index);
  // Moves the mark of the Check Map row `index`, a mark outside its clip, to the nearest
  // place where it lies wholly inside, as one step, and shows it selected.
  void BringMarkInside(int index);
  // Checks the map again for an open Check Map window.
  void RecheckMap();
  void MakeWebExportWindows();
  void ExportForWebTo(const WebExportChoice& choice);
  void PreviewInBrowser();
  // The command menu's entries for maps that travel.
  void AddTravelCommands();
  // Relinks as one step of the history; shows the clip on screen under its new name.
  std::size_t RenameClipsInMap(const std::map<std::string, std::string, std::less<>>& renames,
                               const char* stepText);

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
  std::vector<std::size_t> MarkPanelMarks;  // the mark each panel shows
  QObject* overlayInEvent_ = nullptr;       // the overlay whose event is being handled
  TMapCheckForm* mapCheckForm_ = nullptr;
  QTimer* recheck_ = nullptr;  // a moment after an edit, the Check Map window's list
  TMapOverviewForm* mapOverviewForm_ = nullptr;
  std::optional<std::size_t> selectedMark_;
  TWebExportForm* webExportForm_ = nullptr;
  TWebExportProgressForm* webExportProgressForm_ = nullptr;
  TWebExportResultForm* webExportResultForm_ = nullptr;
  std::string webExportMap_;  // the map the dialog's texts were made for

  // Editing state.
  ClipMap clipMap_;
  KnownMapFile knownMapFile_;  // what was last read or written at the map's file
  std::unique_ptr<MapHistory> mapHistory_;
  MarkDrag drag_;
  bool sizeChanged_ = false;
  bool pointerOnClip_ = false;
  std::optional<std::size_t> keyedMark_;  // the mark the arrow keys move until the pointer moves
  int wheelRemainder_ = 0;
  int LastMouseX = 0, LastMouseY = 0;
  int EditPointX = 0, EditPointY = 0;
  int AdvanceToolbarHeight = 35;
  int LastWidth = 0, LastHeight = 0;
  bool guidePending_ = false;
  bool exiting_ = false;
  bool outerSizeFitted_ = false;
  // The map opened at start still waits for the question about moved clips.
  bool startMapOffer_ = false;
  std::optional<WindowSize> wantedOuter_;  // the outer size set last, until the person resizes
  QSize wantedFrame_;                      // the frame it was set with
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
  QAction* UndoMenuItem = nullptr;
  QAction* RedoMenuItem = nullptr;
  QAction* CancelDragAction = nullptr;
  QAction* CheckMap1 = nullptr;
  QAction* MapOverview1 = nullptr;
  QAction* ExportForWeb1 = nullptr;
  QAction* FindMissingClips1 = nullptr;
  QAction* GatherClips1 = nullptr;
  QTimer* Timer1 = nullptr;
  HintSwitch* hintSwitch_ = nullptr;
};

}  // namespace mw
