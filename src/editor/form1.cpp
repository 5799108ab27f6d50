// The editor window's life: creation, the timer tick, closing and the Exit button.
#include "editor/form1.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTimer>
#include <utility>

#include "desktop/desktop.h"
#include "editor/hint_switch.h"
#include "editor/map_history.h"
#include "editor/mark_size_box.h"
#include "map/safe_file.h"
#include "media/clip_display.h"

namespace mw {
namespace {

constexpr int kStartWidth = 610;
constexpr int kStartHeight = 545;
constexpr int kTimerInterval = 30;

}  // namespace

TForm1::TForm1(Desktop& desktop, EditorOptions options, QWidget* parent)
    : QWidget(parent), desktop_(desktop), options_(std::move(options)) {
  mapHistory_ = std::make_unique<MapHistory>(clipMap_);
  // 1. The window from its layout.
  BuildLayout();
  clips_ = new ClipDisplay(Panel1, MediaPlayer1, TrackBar1, options_.movie, this);
  resize(kStartWidth, kStartHeight);
  if (QScreen* screen = QApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  hintSwitch_ = new HintSwitch(this);
  hintSwitch_->AlwaysShow(MenuButton);
  hintSwitch_->AlwaysShow(ShowHintButton);
  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(kTimerInterval);
  ConnectHandlers();
  BuildShortcuts();
  // 2. The editing state holds its start values already (see the members).
  // 3. and 4. The mark indicator follows the mark size; the overlays sit on BasePanel.
  toleranceChange();
  // 5. The last map's name, or the map named at program start.
  if (options_.startMap)
    UseStartMap(*options_.startMap);
  else
    ReadSettings();
  // 6. Nothing to save yet.
  SetMapChanged(false);
  // 7. A missing map file is made as an empty map, and the guide will follow.
  if (!options_.startMap) PrepareMapFile();
  // 8. and 9.
  SetClipAreaCaption("Welcome");
  Panel2->hide();
  Panel2->setFixedHeight(AdvanceToolbarHeight);
  // 10. A map named at program start is then remembered, as Load Map remembers it; one
  // that does not exist yet starts empty under its name, and Save Map makes it.
  if (options_.startMap && NothingAt(MapFileNameText()))
    StartNewMap();
  else
    LoadMap();
  startMapOffer_ = true;
  if (options_.startMap) WriteSettings();
  // 11. Hints on.
  ShowHintButton->setChecked(true);
  ShowHintMenuItem->setChecked(true);
  hintSwitch_->SetHintsOn(true);
  // 12. Movie controls wait for a movie.
  MediaPlayer1->setEnabled(false);
  TrackBar1->setEnabled(false);
  // 13.
  UpdateClipButtons();
  // 14. The size to watch.
  WindowSize outer = OuterSize();
  LastWidth = outer.width;
  LastHeight = outer.height;
  // 15. Edit mode enables the mark size.
  tolerance->setEnabled(false);
  Timer1->start();
}

TForm1::~TForm1() {
  // The history goes first, and tells this half-destroyed window nothing on its way.
  mapHistory_->disconnect(this);
  mapHistory_->Stack().disconnect(this);
  mapHistory_.reset();
  RemoveMarkPanels();
}

void TForm1::ConnectHandlers() {
  // The windows that follow the map hear of every change to it.
  connect(this, &TForm1::MapContentChanged, this, &TForm1::MapEdited);
  connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
  connect(ExitButton, &QPushButton::clicked, this, &TForm1::ExitButtonClick);
  connect(SaveMapButton, &QPushButton::clicked, this, &TForm1::SaveMapButtonClick);
  connect(SaveMap1, &QAction::triggered, this, &TForm1::SaveMapButtonClick);
  connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
  connect(LoadMap1, &QAction::triggered, this, &TForm1::Button1Click);
  connect(ClearMapButton, &QPushButton::clicked, this, &TForm1::ClearMapButtonClick);
  connect(ClearMap1, &QAction::triggered, this, &TForm1::ClearMapButtonClick);
  connect(SaveAsButton, &QPushButton::clicked, this, &TForm1::SaveAsButtonClick);
  connect(SaveMapas1, &QAction::triggered, this, &TForm1::SaveAsButtonClick);
  connect(MenuButton, &QPushButton::clicked, this, &TForm1::MenuButtonClick);
  connect(ShowHintButton, &QPushButton::clicked, this, &TForm1::ShowHintButtonClick);
  connect(ShowHintMenuItem, &QAction::triggered, this, &TForm1::ShowHintMenuItemClick);
  connect(AdvanceMenuItem, &QAction::triggered, this, &TForm1::AdvanceMenuItemClick);
  connect(HelpButton, &QPushButton::clicked, this, &TForm1::HelpButtonClick);
  connect(AboutButton, &QPushButton::clicked, this, &TForm1::AboutButtonClick);
  connect(MakePackageButton, &QPushButton::clicked, this, &TForm1::MakePackageButtonClick);
  connect(MakePackage1, &QAction::triggered, this, &TForm1::MakePackageButtonClick);
  connect(CheckMap1, &QAction::triggered, this, &TForm1::CheckMapMenuItemClick);
  connect(MapOverview1, &QAction::triggered, this, &TForm1::MapOverviewMenuItemClick);
  connect(ExportForWeb1, &QAction::triggered, this, &TForm1::ExportForWebMenuItemClick);
  connect(PlayButton, &QPushButton::clicked, this, &TForm1::PlayButtonClick);
  connect(PreviousClipButton, &QPushButton::clicked, this, &TForm1::PreviousClipButtonClick);
  connect(NextClipButton, &QPushButton::clicked, this, &TForm1::NextClipButtonClick);
  connect(OpenClipButton, &QPushButton::clicked, this, &TForm1::OpenClipButtonClick);
  connect(LoadClip1, &QAction::triggered, this, &TForm1::OpenClipButtonClick);
  connect(EditMode, &QCheckBox::clicked, this, &TForm1::EditModeClick);
  connect(EditModeMenuItem, &QAction::triggered, this, &TForm1::EditModeMenuItemClick);
  connect(tolerance, &QSpinBox::valueChanged, this, &TForm1::toleranceChange);
  connect(AddClickMarkMenuItem, &QAction::triggered, this, &TForm1::AddClickMarkMenuItemClick);
  connect(DeleteClickMarkMenuItem, &QAction::triggered, this,
          &TForm1::DeleteClickMarkMenuItemClick);
  connect(clips_, &ClipDisplay::RefreshMarkPanels, this, &TForm1::RefreshMarkPanels);
  connect(Panel1, &ClipPanel::MouseMoved, this,
          [this](QPoint p, Qt::MouseButtons buttons, Qt::KeyboardModifiers) {
            TrackPointer(p.x(), p.y());
            if (buttons & Qt::LeftButton) LeftMoveOnClip(p);
          });
  connect(Panel1, &ClipPanel::MousePressed, this,
          [this](QPoint p, Qt::MouseButton button, Qt::KeyboardModifiers) {
            if (button == Qt::LeftButton) LeftPressOnClip(p);
          });
  connect(Panel1, &ClipPanel::MouseReleased, this,
          [this](QPoint p, Qt::MouseButton button, Qt::KeyboardModifiers) {
            if (button == Qt::LeftButton) LeftReleaseOnClip(p);
            Shape1MouseUp(button);
          });
  connect(mapHistory_.get(), &MapHistory::StepApplied, this, &TForm1::ShowMapStep);
  connect(&mapHistory_->Stack(), &QUndoStack::cleanChanged, this, &TForm1::UpdateSaveState);
  for (QObject* watched : std::initializer_list<QObject*>{MapFileName, Edit1, Shape1,
                                                          ClickerPointer, Panel2, Panel3})
    watched->installEventFilter(this);
  Panel1->installEventFilter(this);
  Panel1->Image1()->installEventFilter(this);
  Panel2->setMouseTracking(true);
  Panel3->setMouseTracking(true);
}

void TForm1::PrepareMapFile() {
  const std::string path = MapFileNameText();
  if (CanOpenForReading(path)) return;
  guidePending_ = true;
  // A file that exists but cannot be read is left alone; the load reports it.
  if (!NothingAt(path)) return;
  std::string header;
  WriteMapHeader(header, OuterSize());
  ReplaceFileContent(path, header);
}

void TForm1::Timer1Timer() {
  Timer1->stop();
  try {
    if (guidePending_) {
      RunGuide();
      guidePending_ = false;
      Timer1->start();
      return;
    }
    clips_->MovieStep();
    FollowWindowSize();
  } catch (...) {
    // A tick swallows its own errors.
  }
  Timer1->start();
}

void TForm1::closeEvent(QCloseEvent* event) {
  // A map whose save failed keeps its window, so that its marks are not lost.
  if (!exiting_ && !AskToSave()) {
    event->ignore();
    return;
  }
  exiting_ = true;
  Timer1->stop();
  event->accept();
}

// The pointer left the window (sideways, onto another window): no mark rests under it any
// more, so the hover square and the pointer dot go, and Delete and the arrow keys take no
// mark it left behind.
void TForm1::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  // A menu opening under the pointer (the mark menu) is no leaving: the pointer stays.
  if (QApplication::activePopupWidget() != nullptr) return;
  HideShape1AndClickerPointer();
}

void TForm1::ExitButtonClick() {
  if (!AskToSave()) return;
  exiting_ = true;
  close();
  QApplication::quit();
}

void TForm1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (outerSizeFitted_) return;
  outerSizeFitted_ = true;
  // The frame may be known at once; otherwise the timer fits the size once it is.
  QTimer::singleShot(0, this, [this] { FollowWindowSize(); });
  // The map opened at start (named on the command line, or the last one) gets Load Map's
  // question about moved clips, over the window rather than before it.
  QTimer::singleShot(0, this, [this] {
    if (std::exchange(startMapOffer_, false)) OfferClipsBesideMap();
  });
}

WindowSize TForm1::OuterSize() const {
  QRect frame = frameGeometry();
  return {frame.width(), frame.height()};
}

QSize TForm1::FrameExtent() const { return frameGeometry().size() - geometry().size(); }

void TForm1::SetOuterSize(WindowSize size) {
  // A map's size is the outer size; it is kept until the person resizes the window, so
  // that a frame drawn later by the window manager comes off the inner size too.
  wantedOuter_ = size;
  wantedFrame_ = FrameExtent();
  resize(std::max(1, size.width - wantedFrame_.width()),
         std::max(1, size.height - wantedFrame_.height()));
  LastWidth = size.width;
  LastHeight = size.height;
}

void TForm1::FollowWindowSize() {
  if (wantedOuter_ && FrameExtent() != wantedFrame_) {
    // The window manager framed the window (or changed its frame) since the size was set.
    SetOuterSize(*wantedOuter_);
    return;
  }
  WindowSize outer = OuterSize();
  if (outer.width == LastWidth && outer.height == LastHeight) return;
  LastWidth = outer.width;
  LastHeight = outer.height;
  wantedOuter_.reset();
  SetMapChanged(true);
}

std::string TForm1::MapFileNameText() const {
  return MapFileName->text().toLocal8Bit().toStdString();
}

void TForm1::SetMapFileNameText(const std::string& path) {
  MapFileName->setText(QString::fromLocal8Bit(path));
  MapFileName->selectAll();
}

std::string TForm1::ClipOnScreen() const { return Edit1->text().toLocal8Bit().toStdString(); }

bool TForm1::HintsOn() const { return hintSwitch_->HintsOn(); }

void TForm1::SetClipAreaCaption(const std::string& caption) {
  Panel1->SetCaption(QString::fromLocal8Bit(caption));
}

void TForm1::ShowMessage(const std::string& text) { ShowOkMessage(desktop_, text); }

}  // namespace mw
