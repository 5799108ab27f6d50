#pragma once
// The editor window: owner of the map being edited and of every editing state.

#include <QWidget>
#include <string>

#include "map/clip_map.h"
#include "map/map_file.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QPushButton;
class QSlider;
class QTimer;
class QToolButton;

namespace mw {

class Desktop;
class HintSwitch;
class MarkSizeBox;

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
  TForm1(Desktop& desktop, std::string programFolder, QWidget* parent = nullptr);
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
  // Asks whether to save a changed map that has marks; Yes saves it.
  void AskToSave();
  // Writes the map to the file named in MapFileName; the map counts as unchanged
  // afterwards only when it was written.
  void SaveMapButtonClick();
  // "MarkWeaver Editor - " and the map's path.
  void UpdateTitle();

  // --- clips ---
  // Records `path` as the clip on screen and shows it. Gives true when it showed.
  bool GoToClip(const std::string& path);

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
  const std::string& ProgramFolder() const { return programFolder_; }
  // The window's outer size (frame included where a window manager draws one).
  WindowSize OuterSize() const;
  void SetOuterSize(WindowSize size);
  Desktop& DesktopSeam() { return desktop_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

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
  void SetClipAreaCaption(const std::string& caption);
  QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption,
                          const QString& hint, const QColor& color = QColor());

  Desktop& desktop_;
  const std::string programFolder_;

  // Editing state.
  ClipMap clipMap_;
  int LastMouseX = 0, LastMouseY = 0;
  int EditPointX = 0, EditPointY = 0;
  int AdvanceToolbarHeight = 35;
  std::string LastStepText;
  int LastWidth = 0, LastHeight = 0;
  bool guidePending_ = false;
  bool exiting_ = false;
  bool outerSizeFitted_ = false;

  // Controls, named as in the window layout.
  QFrame* BasePanel = nullptr;
  QLabel* Panel1 = nullptr;
  QFrame* Panel3 = nullptr;
  QFrame* Panel2 = nullptr;
  QPushButton* PlayButton = nullptr;
  QPushButton* PreviousClipButton = nullptr;
  QPushButton* NextClipButton = nullptr;
  QPushButton* MenuButton = nullptr;
  QLabel* Label3 = nullptr;
  MarkSizeBox* tolerance = nullptr;
  QWidget* MediaPlayer1 = nullptr;
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
