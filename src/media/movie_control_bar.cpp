#include "media/movie_control_bar.h"

#include <QHBoxLayout>
#include <QStyle>

namespace mw {

MovieControlBar::MovieControlBar(QWidget* parent) : QWidget(parent) {
  setObjectName("MediaPlayer1");
  setToolTip("Control for movie clip");
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(1);
  play_ = AddButton("Play", QStyle::SP_MediaPlay);
  pause_ = AddButton("Pause", QStyle::SP_MediaPause);
  stop_ = AddButton("Stop", QStyle::SP_MediaStop);
  next_ = AddButton("Next", QStyle::SP_MediaSkipForward);
  prev_ = AddButton("Prev", QStyle::SP_MediaSkipBackward);
  connect(play_, &QToolButton::clicked, this, &MovieControlBar::PlayClicked);
  connect(pause_, &QToolButton::clicked, this, &MovieControlBar::PauseClicked);
  connect(stop_, &QToolButton::clicked, this, &MovieControlBar::StopClicked);
  connect(next_, &QToolButton::clicked, this, &MovieControlBar::NextClicked);
  connect(prev_, &QToolButton::clicked, this, &MovieControlBar::PrevClicked);
}

QToolButton* MovieControlBar::AddButton(const char* name, int icon) {
  auto* button = new QToolButton(this);
  button->setObjectName(name);
  button->setText(name);
  button->setIcon(style()->standardIcon(static_cast<QStyle::StandardPixmap>(icon)));
  button->setAutoRaise(true);
  layout()->addWidget(button);
  return button;
}

}  // namespace mw
