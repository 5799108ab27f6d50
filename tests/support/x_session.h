#pragma once
// A virtual screen with a window manager for tests that act as a person does: Xvfb and
// openbox started by the test program itself, and real X input sent by xdotool.

#include <sys/types.h>

#include <QPoint>
#include <QString>
#include <QStringList>
#include <functional>
#include <string>

namespace mw::test {

// Xvfb on a display number it chooses itself, with openbox managing its windows. Both
// end with the session (and with the test program, should it die). Made before any
// QApplication, so it uses no Qt.
class XSession {
 public:
  // Starts both and waits until the window manager has taken the screen.
  XSession(int width, int height);
  ~XSession();
  XSession(const XSession&) = delete;
  XSession& operator=(const XSession&) = delete;

  // Empty once both run; otherwise what failed.
  const std::string& Failure() const { return failure_; }
  // ":N".
  std::string Display() const { return ":" + number_; }

 private:
  bool StartServer(int width, int height);
  bool StartWindowManager();

  pid_t server_ = -1;
  pid_t manager_ = -1;
  std::string number_;
  std::string failure_;
};

// What the test program's screen lacks: empty when the session runs. Set by the test
// program's entry point; a test that needs the screen skips when it is not empty.
std::string& ScreenFailure();

// Whether `condition` became true within `milliseconds`, events processed meanwhile.
bool WaitFor(const std::function<bool()>& condition, int milliseconds = 5000);

// Real pointer and keyboard input on the session's screen, as xdotool sends it through
// XTest. Each call returns once this program has received the input it caused.
class XInput {
 public:
  // The pointer jumps to `to` (screen pixels) in one move.
  static bool JumpTo(QPoint to);
  // The pointer creeps from `from` to `to` one or two pixels at a step, each step
  // received before the next is sent.
  static bool CreepTo(QPoint from, QPoint to);
  // A button (1 left, 2 middle, 3 right) pressed or released where the pointer is.
  static bool Press(int button);
  static bool Release(int button);
  static bool Click(int button);
  // Wheel notches: positive away from the person (button 4), negative towards (button 5).
  static bool Wheel(int notches);
  // A key by its X name ("Delete", "Right", "ctrl+e", "Escape").
  static bool Key(const QString& name);
  // Runs xdotool with `arguments`, processing this program's events meanwhile.
  static bool Run(const QStringList& arguments);
};

}  // namespace mw::test
