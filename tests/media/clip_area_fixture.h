#pragma once
// A real clip area for the media tests: a window with Panel1, the movie control bar and
// the position control, driven by a ClipDisplay with the sound off, offscreen.

#include <gtest/gtest.h>

#include <QSlider>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "media/clip_display.h"

namespace mw::test {

class ClipAreaTest : public ::testing::Test {
 protected:
  ClipAreaTest() {
    window.resize(400, 300);
    panel1 = new ClipPanel(&window);
    panel1->setGeometry(0, 0, 320, 240);
    media_player1 = new MovieControlBar(&window);
    track_bar1 = new QSlider(Qt::Horizontal, &window);
    track_bar1->setGeometry(0, 250, 300, 20);
    MoviePlayer::Options silent;
    silent.audio = false;
    display = std::make_unique<ClipDisplay>(panel1, media_player1, track_bar1, silent);
    media_player1->setEnabled(false);
    track_bar1->setEnabled(false);
    window.show();
  }

  // A path for `name` in the test's own temporary folder.
  std::string Path(const std::string& name) const {
    return dir.filePath(QString::fromStdString(name)).toStdString();
  }

  QTemporaryDir dir;
  QWidget window;
  ClipPanel* panel1;
  MovieControlBar* media_player1;
  QSlider* track_bar1;
  std::unique_ptr<ClipDisplay> display;
};

}  // namespace mw::test
