#pragma once
// MediaPlayer1: the movie control bar with the buttons Play, Pause, Stop, Next and Prev.

#include <QToolButton>
#include <QWidget>

namespace mw {

// Five buttons that only report clicks; the clip display acts on them. All of them are
// usable whenever the bar is enabled, whatever the movie is doing.
class MovieControlBar : public QWidget {
  Q_OBJECT

 public:
  explicit MovieControlBar(QWidget* parent = nullptr);

  QToolButton* PlayButton() const { return play_; }
  QToolButton* PauseButton() const { return pause_; }
  QToolButton* StopButton() const { return stop_; }
  QToolButton* NextButton() const { return next_; }
  QToolButton* PrevButton() const { return prev_; }

 signals:
  void PlayClicked();
  void PauseClicked();
  void StopClicked();
  void NextClicked();
  void PrevClicked();

 private:
  QToolButton* AddButton(const char* name, int icon);

  QToolButton* play_;
  QToolButton* pause_;
  QToolButton* stop_;
  QToolButton* next_;
  QToolButton* prev_;
};

}  // namespace mw
