#pragma once
// The editor window on a real screen under a window manager, on a map of two photos with
// one mark, for tests that act with real X input.

#include <QCheckBox>
#include <QTest>
#include <cmath>

#include "editor_fixture.h"
#include "x_session.h"

namespace mw::test {

inline constexpr int kMarkSize = 15;

// How the pointer reaches its target.
enum class Approach { Quick, Slow };

inline std::string Line(const std::string& text) { return text + "\r\n"; }

class XEditorTest : public EditorFixture {
 protected:
  void SetUp() override {
    EditorFixture::SetUp();
    if (!ScreenFailure().empty()) GTEST_SKIP() << ScreenFailure();
    a_ = Photo("a.jpg", 320, 240);
    b_ = Photo("b.jpg", 320, 240);
  }

  // Waits until Qt knows the window manager's frame of `window`. Under load the frame has
  // once been drawn after Qt looked for it, and Qt never looked again; shown afresh, the
  // window is framed afresh and Qt looks again.
  static bool WaitForFrame(QWidget* window) {
    auto framed = [&] { return window->frameGeometry() != window->geometry(); };
    for (int attempt = 0; attempt < 2 && !framed(); ++attempt) {
      if (attempt > 0) {
        window->hide();
        window->show();
        if (!QTest::qWaitForWindowExposed(window)) return false;
      }
      if (test::WaitFor(framed, 15000)) return true;
    }
    return framed();
  }

  // A map file: its window size and a mark of size 15 in the middle of photo a, to b.
  std::string WriteMap(int width, int height) {
    mapSize_ = {width, height};
    const std::string path = here_ + "/tour.clm";
    WriteText(path, Line("markweaverdata1.01") + Line(std::to_string(width)) +
                              Line(std::to_string(height)) + Line(a_) + Line("0.5") +
                              Line("0.5") + Line(std::to_string(kMarkSize)) + Line(b_) +
                              Line("<reserved>") + Line("0") + Line("0") + Line("go there"));
    return path;
  }

  // The editor started on `map` as the command line starts it, shown and in front.
  TForm1& StartOn(const std::string& map) {
    MoviePlayer::Options silent;
    silent.audio = false;
    form_ = std::make_unique<TForm1>(desktop_, EditorOptions{here_ + "/", silent, map});
    form_->AttachWindows({nullptr, &markForm_});
    form_->show();
    // Framed by the window manager (the first window may wait for it to settle), in
    // front, and the map's outer size fitted to the frame.
    EXPECT_TRUE(WaitFor([&] { return Framed(); }, 20000));
    form_->activateWindow();
    if (!QTest::qWaitForWindowActive(form_.get(), 5000)) {
      form_->raise();
      form_->activateWindow();
      EXPECT_TRUE(QTest::qWaitForWindowActive(form_.get(), 10000));
    }
    EXPECT_TRUE(WaitFor([&] { return form_->OuterSize() == mapSize_; }));
    return *form_;
  }
  TForm1& StartOnTour(bool editing) {
    TForm1& form = StartOn(WriteMap(640, 560));
    if (editing) Control<QCheckBox>("EditMode")->click();
    return form;
  }
  bool Framed() const { return form_->frameGeometry().size() != form_->geometry().size(); }

  QWidget* Panel1() { return Control<QWidget>("Panel1"); }
  // A point of the clip area on the screen.
  QPoint OnScreen(QPoint onClip) { return Panel1()->mapToGlobal(onClip); }
  QPoint MarkCentre() { return QPoint(Panel1()->width() / 2, Panel1()->height() / 2); }
  // Away from the mark on the clip area.
  QPoint Aside() { return MarkCentre() + QPoint(-70, -50); }

  // Brings the pointer from beside the mark onto its centre, and past it by `past`.
  void Reach(Approach approach, QPoint past = {}) {
    ASSERT_TRUE(XInput::CreepTo(OnScreen(Aside()), OnScreen(Aside() + QPoint(3, 3))));
    const QPoint target = OnScreen(MarkCentre() + past);
    if (approach == Approach::Quick) {
      ASSERT_TRUE(XInput::JumpTo(target));
    } else {
      ASSERT_TRUE(XInput::CreepTo(OnScreen(Aside() + QPoint(3, 3)), target));
    }
  }

  const ClickerMark& TheMark() { return form_->Map().First(); }
  int MarkX() { return static_cast<int>(std::lround(TheMark().X * Panel1()->width())); }

  std::string a_, b_;
  WindowSize mapSize_;
};

}  // namespace mw::test
