// The screen and its window manager, without Qt: Xlib's names clash with Qt's.
#include "x_session.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace mw::test {
namespace {

constexpr int kStartMs = 15000;

// Starts `argv` as a child that ends when this program ends, however it ends; its
// standard output goes to `outFd` when that is not -1.
pid_t StartChild(std::vector<std::string> argv, int outFd, const std::string& display) {
  std::vector<char*> pointers;
  for (std::string& word : argv) pointers.push_back(word.data());
  pointers.push_back(nullptr);
  const pid_t parent = getpid();
  const pid_t child = fork();
  if (child != 0) return child;
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (getppid() != parent) _exit(1);
  if (outFd != -1) dup2(outFd, 1);
  // The servers' chatter would only bury the tests' own output.
  const int quiet = open("/dev/null", O_WRONLY);
  if (quiet != -1) dup2(quiet, 2);
  if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
  execvp(pointers[0], pointers.data());
  _exit(127);
}

void Stop(pid_t& child) {
  if (child <= 0) return;
  kill(child, SIGTERM);
  for (int k = 0; k < 500; ++k) {
    if (waitpid(child, nullptr, WNOHANG) == child) {
      child = -1;
      return;
    }
    usleep(10000);
  }
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  child = -1;
}

bool Exited(pid_t child) { return waitpid(child, nullptr, WNOHANG) == child; }

// Whether a window manager has announced itself on the root window of `display`.
bool ManagerRunning(const std::string& display) {
  Display* connection = XOpenDisplay(display.c_str());
  if (!connection) return false;
  const Atom check = XInternAtom(connection, "_NET_SUPPORTING_WM_CHECK", True);
  bool running = false;
  if (check != None) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(connection, DefaultRootWindow(connection), check, 0, 1, False,
                           XA_WINDOW, &type, &format, &count, &after, &data) == Success)
      running = type == XA_WINDOW && count == 1;
    if (data) XFree(data);
  }
  XCloseDisplay(connection);
  return running;
}

}  // namespace

std::string& ScreenFailure() {
  static std::string failure = "no screen was started";
  return failure;
}

XSession::XSession(int width, int height) {
  if (StartServer(width, height)) StartWindowManager();
}

XSession::~XSession() {
  Stop(manager_);
  Stop(server_);
}

bool XSession::StartServer(int width, int height) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) {
    failure_ = "no pipe for Xvfb";
    return false;
  }
  server_ = StartChild({"Xvfb", "-displayfd", std::to_string(pipeFds[1]), "-nolisten", "tcp",
                        "-screen", "0", std::to_string(width) + "x" + std::to_string(height) + "x24"},
                       -1, "");
  close(pipeFds[1]);
  // Xvfb writes its display number and a line end once it takes connections.
  pollfd wait{pipeFds[0], POLLIN, 0};
  char buffer[32];
  while (number_.find('\n') == std::string::npos && poll(&wait, 1, kStartMs) == 1) {
    const ssize_t got = read(pipeFds[0], buffer, sizeof buffer);
    if (got <= 0) break;
    number_.append(buffer, static_cast<std::size_t>(got));
  }
  close(pipeFds[0]);
  while (!number_.empty() && (number_.back() == '\n' || number_.back() == ' ')) number_.pop_back();
  if (number_.empty()) failure_ = "Xvfb did not start";
  return failure_.empty();
}

bool XSession::StartWindowManager() {
  // A window manager started the moment the server takes connections sometimes gives up
  // at once; it is started again until it takes the screen.
  for (int tries = 0; tries < 5; ++tries) {
    manager_ = StartChild({"openbox", "--sm-disable"}, -1, Display());
    for (int waited = 0; waited < kStartMs; waited += 20) {
      if (ManagerRunning(Display())) return true;
      if (Exited(manager_)) {
        manager_ = -1;
        break;
      }
      usleep(20000);
    }
    Stop(manager_);
  }
  failure_ = "openbox did not take the screen " + Display();
  return false;
}

}  // namespace mw::test
