// The editor window's controls, built from its layout: the clip area on top, the
// main toolbar below it, the advance toolbar at the very bottom.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "editor/form1.h"
#include "editor/mark_panel.h"
#include "editor/mark_size_box.h"
#include "media/clip_panel.h"
#include "media/movie_control_bar.h"

namespace mw {
namespace {

constexpr int kMainToolbarHeight = 32;
constexpr int kToolbarButtonHeight = 26;
constexpr int kPictureButtonWidth = 28;

// The advance toolbar: one visible row; the controls placed lower stay out of
// sight while the strip is only its shown height.
class AdvanceToolbar : public QFrame {
 public:
  using QFrame::QFrame;
  QWidget* visibleRow = nullptr;
  QWidget* lowerRow = nullptr;

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QFrame::resizeEvent(event);
    if (visibleRow) visibleRow->setGeometry(0, 0, width(), 33);
    if (lowerRow) lowerRow->setGeometry(0, 40, width(), 33);
  }
};

QHBoxLayout* RowLayout(QWidget* row) {
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(3, 3, 3, 2);
  layout->setSpacing(3);
  return layout;
}

QWidget* GroupGap(QWidget* parent) {
  auto* gap = new QWidget(parent);
  gap->setFixedWidth(6);
  return gap;
}

// A text button just wide enough for its caption, instead of the style's wide minimum.
int TextButtonWidth(const QPushButton* button) {
  return button->fontMetrics().horizontalAdvance(button->text()) + 14;
}

}  // namespace

QPushButton* TForm1::MakeButton(QWidget* parent, const char* name, const QString& caption,
                                const QString& hint, const QColor& color) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setToolTip(hint);
  button->setFocusPolicy(Qt::TabFocus);
  if (color.isValid()) {
    QPalette palette = button->palette();
    palette.setColor(QPalette::ButtonText, color);
    button->setPalette(palette);
  }
  return button;
}

void TForm1::BuildLayout() {
  setObjectName("Form1");
  setWindowTitle("MarkWeaverApp");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  BasePanel = new QFrame(this);
  BasePanel->setObjectName("BasePanel");
  BasePanel->setFrameShape(QFrame::Box);
  BasePanel->setLineWidth(1);
  auto* baseLayout = new QVBoxLayout(BasePanel);
  baseLayout->setContentsMargins(1, 1, 1, 1);
  Panel1 = new ClipPanel(BasePanel);
  Panel1->setMinimumSize(1, 1);
  Panel1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  baseLayout->addWidget(Panel1);
  layout->addWidget(BasePanel, 1);

  // The hover square of edit mode: raised, in the desktop colour.
  Shape1 = new QFrame(BasePanel);
  Shape1->setObjectName("Shape1");
  Shape1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Shape1->setLineWidth(2);
  Shape1->setAutoFillBackground(true);
  QPalette shapePalette = Shape1->palette();
  shapePalette.setColor(QPalette::Window, kDesktopColour);
  Shape1->setPalette(shapePalette);
  Shape1->setCursor(Qt::CrossCursor);
  Shape1->setToolTip("Right click to edit clicker mark at this position");
  Shape1->setMouseTracking(true);
  Shape1->hide();
  // The pointer dot of play mode, carrier of the mark's message.
  ClickerPointer = new QWidget(BasePanel);
  ClickerPointer->setObjectName("ClickerPointer");
  ClickerPointer->resize(4, 4);
  ClickerPointer->setCursor(Qt::PointingHandCursor);
  ClickerPointer->setToolTip(":-)");
  ClickerPointer->hide();

  BuildMainToolbar();
  layout->addWidget(Panel3);
  BuildAdvanceToolbar();
  layout->addWidget(Panel2);
  BuildCommandMenu();
  BuildMarkMenu();
}

void TForm1::BuildMainToolbar() {
  Panel3 = new QFrame(this);
  Panel3->setObjectName("Panel3");
  Panel3->setFixedHeight(kMainToolbarHeight);
  Panel3->setFrameShape(QFrame::StyledPanel);
  auto* row = RowLayout(Panel3);
  row->setContentsMargins(2, 2, 2, 2);
  row->setSpacing(2);
  QStyle* style = this->style();

  // Every control has a fixed width, so that the whole strip fits the 610 pixels of a
  // new window: left alone, the style's minimum button width would widen the window.
  PlayButton = MakeButton(Panel3, "PlayButton", "", "Play", Qt::blue);
  PlayButton->setIcon(style->standardIcon(QStyle::SP_MediaPlay));
  QFont bold = PlayButton->font();
  bold.setBold(true);
  PlayButton->setFont(bold);
  PreviousClipButton = MakeButton(Panel3, "PreviousClipButton", "", "Previous Clip");
  PreviousClipButton->setIcon(style->standardIcon(QStyle::SP_ArrowBack));
  NextClipButton = MakeButton(Panel3, "NextClipButton", "", "Next Clip");
  NextClipButton->setIcon(style->standardIcon(QStyle::SP_ArrowForward));
  for (QPushButton* b : {PlayButton, PreviousClipButton, NextClipButton}) {
    b->setFixedSize(kPictureButtonWidth, kToolbarButtonHeight);
    row->addWidget(b);
  }
  row->addWidget(GroupGap(Panel3));

  MenuButton = MakeButton(Panel3, "MenuButton", "Menu", "All Commands...", QColor(0, 0, 128));
  MenuButton->setFixedSize(TextButtonWidth(MenuButton), kToolbarButtonHeight);
  row->addWidget(MenuButton);
  Label3 = new QLabel("Mark Size", Panel3);
  Label3->setObjectName("Label3");
  Label3->setFixedWidth(Label3->sizeHint().width());
  row->addWidget(Label3);
  tolerance = new MarkSizeBox(Panel3);
  tolerance->setObjectName("tolerance");
  tolerance->setToolTip("Set the size of the next clicker mark");
  tolerance->setFixedSize(tolerance->sizeHint().width(), kToolbarButtonHeight);
  row->addWidget(tolerance);
  row->addWidget(GroupGap(Panel3));

  MediaPlayer1 = new MovieControlBar(Panel3);
  MediaPlayer1->setToolTip("Control for movie clip");
  MediaPlayer1->setFixedSize(MediaPlayer1->sizeHint().width(), kToolbarButtonHeight);
  row->addWidget(MediaPlayer1);
  EditMode = new QCheckBox("Edit", Panel3);
  EditMode->setObjectName("EditMode");
  EditMode->setToolTip("Turn on/off edit mode");
  EditMode->setFixedWidth(EditMode->sizeHint().width());
  row->addWidget(EditMode);
  row->addWidget(GroupGap(Panel3));

  MakePackageButton =
      MakeButton(Panel3, "MakePackageButton", "", "Make package", QColor(128, 0, 0));
  MakePackageButton->setIcon(style->standardIcon(QStyle::SP_DialogSaveButton));
  MakePackageButton->setFixedSize(kPictureButtonWidth, kToolbarButtonHeight);
  row->addWidget(MakePackageButton);
  HelpButton = MakeButton(Panel3, "HelpButton", "Help", "Help text for MarkWeaver", Qt::magenta);
  AboutButton = MakeButton(Panel3, "AboutButton", "About", "About this software", Qt::darkGreen);
  ExitButton = MakeButton(Panel3, "ExitButton", "Exit", "Exit MarkWeaver", Qt::red);
  const int textWidth = std::max(
      {TextButtonWidth(HelpButton), TextButtonWidth(AboutButton), TextButtonWidth(ExitButton)});
  for (QPushButton* b : {HelpButton, AboutButton, ExitButton}) {
    b->setFixedSize(textWidth, kToolbarButtonHeight);
    row->addWidget(b);
  }
  row->addStretch(1);
}

void TForm1::BuildAdvanceToolbar() {
  auto* toolbar = new AdvanceToolbar(this);
  Panel2 = toolbar;
  Panel2->setObjectName("Panel2");
  Panel2->setFrameShape(QFrame::StyledPanel);
  toolbar->visibleRow = new QWidget(Panel2);
  toolbar->lowerRow = new QWidget(Panel2);
  auto* row = RowLayout(toolbar->visibleRow);

  Button1 = MakeButton(toolbar->visibleRow, "Button1", "Map:", "Browse to load another map file");
  MapFileName = new QLineEdit("<map1>", toolbar->visibleRow);
  MapFileName->setObjectName("MapFileName");
  MapFileName->setReadOnly(true);
  MapFileName->setToolTip("Current map file");
  OpenClipButton = MakeButton(toolbar->visibleRow, "OpenClipButton",
                              "Clip:", "Load a picture, photo or movie clip on screen");
  Edit1 = new QLineEdit(toolbar->visibleRow);
  Edit1->setObjectName("Edit1");
  Edit1->setToolTip("Current loaded clip on screen");
  CoordinatesLabel = new QLabel(toolbar->visibleRow);
  CoordinatesLabel->setObjectName("CoordinatesLabel");
  CoordinatesLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  CoordinatesLabel->setMinimumWidth(70);
  TrackBar1 = new QSlider(Qt::Horizontal, toolbar->visibleRow);
  TrackBar1->setObjectName("TrackBar1");
  TrackBar1->setToolTip("Position control for movie clip");
  TrackBar1->setRange(0, 100);
  TrackBar1->setMinimumWidth(90);
  // A box without the focus shows no selection, so the selected map name does not look
  // like a highlighted field while the user works elsewhere.
  for (QLineEdit* box : {MapFileName, Edit1})
    box->setStyleSheet(
        "QLineEdit:!focus { selection-background-color: palette(base);"
        " selection-color: palette(text); }");
  for (QPushButton* b : {Button1, OpenClipButton}) b->setFixedWidth(TextButtonWidth(b) + 4);
  row->addWidget(Button1);
  row->addWidget(MapFileName, 2);
  row->addWidget(OpenClipButton);
  row->addWidget(Edit1, 2);
  row->addWidget(CoordinatesLabel);
  row->addWidget(TrackBar1, 1);

  auto* lower = RowLayout(toolbar->lowerRow);
  SaveAsButton = MakeButton(toolbar->lowerRow, "SaveAsButton", "SA", "Save map as...");
  SaveMapButton = MakeButton(toolbar->lowerRow, "SaveMapButton", "SM", "Save map");
  ClearMapButton = MakeButton(toolbar->lowerRow, "ClearMapButton", "CM", "New map");
  ShowHintButton =
      MakeButton(toolbar->lowerRow, "ShowHintButton", "i", "Turn on/off hints on screen");
  ShowHintButton->setCheckable(true);
  for (QPushButton* b : {SaveAsButton, SaveMapButton, ClearMapButton, ShowHintButton})
    lower->addWidget(b);
  lower->addStretch(1);
}

void TForm1::BuildMarkMenu() {
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  AddClickMarkMenuItem = PopupMenu1->addAction(
      style()->standardIcon(QStyle::SP_FileDialogNewFolder), "Add new clicker mark...");
  AddClickMarkMenuItem->setObjectName("AddClickMarkMenuItem");
  DeleteClickMarkMenuItem = PopupMenu1->addAction(style()->standardIcon(QStyle::SP_TrashIcon),
                                                  "Delete this clicker mark");
  DeleteClickMarkMenuItem->setObjectName("DeleteClickMarkMenuItem");
}

void TForm1::BuildCommandMenu() {
  PopupMenu2 = new QMenu(this);
  PopupMenu2->setObjectName("PopupMenu2");
  QStyle* style = this->style();
  auto add = [&](QAction*& action, const char* name, const QString& caption) {
    action = PopupMenu2->addAction(caption);
    action->setObjectName(name);
    return action;
  };
  add(LoadMap1, "LoadMap1", "Load Map...");
  add(ClearMap1, "ClearMap1", "New Map")->setIcon(style->standardIcon(QStyle::SP_FileIcon));
  add(SaveMap1, "SaveMap1", "Save Map")->setIcon(style->standardIcon(QStyle::SP_DialogSaveButton));
  add(SaveMapas1, "SaveMapas1", "Save Map as...")
      ->setIcon(style->standardIcon(QStyle::SP_DriveFDIcon));
  add(EditModeMenuItem, "EditModeMenuItem", "Edit Mode")->setCheckable(true);
  add(MakePackage1, "MakePackage1", "Make Package")
      ->setIcon(style->standardIcon(QStyle::SP_DirIcon));
  add(CheckMap1, "CheckMap1", "Check Map...");
  add(MapOverview1, "MapOverview1", "Map Overview...");
  add(ExportForWeb1, "ExportForWeb1", "Export for Web...");
  AddTravelCommands();
  add(LoadClip1, "LoadClip1", "Load Clip...");
  add(ShowHintMenuItem, "ShowHintMenuItem", "Show Hint")->setCheckable(true);
  add(AdvanceMenuItem, "AdvanceMenuItem", "Advance toolbar")->setCheckable(true);
}

}  // namespace mw
