// Real X input through xdotool, and waiting for this program to receive it.
#include <QCoreApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QEvent>
#include <QMouseEvent>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <cstdlib>

#include "x_session.h"

namespace mw::test {
namespace {

// Counts the input this program receives, whichever widget it goes to.
class InputWatch : public QObject {
 public:
  static InputWatch& Get() {
    static InputWatch* watch = [] {
      auto* made = new InputWatch;
      QCoreApplication::instance()->installEventFilter(made);
      return made;
    }();
    return *watch;
  }
  QPoint lastMove{-1, -1};
  long moves = 0, presses = 0, releases = 0, wheels = 0, keyReleases = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    // An event passed on to a parent comes here again; the waits only ask for "more".
    switch (event->type()) {
      case QEvent::MouseMove:
        ++moves;
        lastMove = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
        break;
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
        ++presses;
        break;
      case QEvent::MouseButtonRelease:
        ++releases;
        break;
      case QEvent::Wheel:
        ++wheels;
        break;
      case QEvent::KeyRelease:
        ++keyReleases;
        break;
      default:
        break;
    }
    return false;
  }
};

bool Received(long& counter, long before) {
  return WaitFor([&] { return counter > before; });
}

}  // namespace

bool WaitFor(const std::function<bool()>& condition, int milliseconds) {
  QElapsedTimer waited;
  waited.start();
  while (!condition()) {
    if (waited.elapsed() > milliseconds) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(2);
  }
  return true;
}

bool XInput::Run(const QStringList& arguments) {
  QProcess tool;
  tool.start("xdotool", arguments);
  if (!WaitFor([&] { return tool.state() == QProcess::NotRunning; }, 10000)) {
    tool.kill();
    tool.waitForFinished();
    return false;
  }
  return tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

bool XInput::JumpTo(QPoint to) {
  InputWatch& watch = InputWatch::Get();
  if (QCursor::pos() == to && watch.lastMove == to) return true;
  if (!Run({"mousemove", QString::number(to.x()), QString::number(to.y())})) return false;
  return WaitFor([&] { return watch.lastMove == to; });
}

bool XInput::CreepTo(QPoint from, QPoint to) {
  if (!JumpTo(from)) return false;
  QPoint at = from;
  while (at != to) {
    const QPoint left = to - at;
    at += QPoint(std::clamp(left.x(), -2, 2), std::clamp(left.y(), -2, 2));
    if (!JumpTo(at)) return false;
  }
  return true;
}

bool XInput::Press(int button) {
  const long before = InputWatch::Get().presses;
  return Run({"mousedown", QString::number(button)}) &&
         Received(InputWatch::Get().presses, before);
}

bool XInput::Release(int button) {
  const long before = InputWatch::Get().releases;
  return Run({"mouseup", QString::number(button)}) &&
         Received(InputWatch::Get().releases, before);
}

bool XInput::Click(int button) { return Press(button) && Release(button); }

bool XInput::Wheel(int notches) {
  const QString button = notches > 0 ? "4" : "5";
  for (int k = 0; k < std::abs(notches); ++k) {
    const long before = InputWatch::Get().wheels;
    if (!Run({"click", button}) || !Received(InputWatch::Get().wheels, before)) return false;
  }
  return true;
}

bool XInput::Key(const QString& name) {
  const long before = InputWatch::Get().keyReleases;
  return Run({"key", name}) && Received(InputWatch::Get().keyReleases, before);
}

}  // namespace mw::test
