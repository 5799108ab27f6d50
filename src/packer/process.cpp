#include "packer/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "packer/packer_error.h"
#include "packer/printable_text.h"

extern char** environ;

namespace mw::packer {
namespace {

constexpr int kForwardedSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

volatile sig_atomic_t g_child_pid = 0;
volatile sig_atomic_t g_interrupt = 0;
// Signals that were ignored when the program started (nohup, a shell's background job):
// they stay ignored, here and in the player.
bool g_ignored[NSIG] = {};

void OnInterrupt(int signal_number) {
  g_interrupt = signal_number;
  const pid_t child = g_child_pid;
  if (child > 0) kill(child, signal_number);
}

sigset_t ForwardedSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : kForwardedSignals)
    if (!g_ignored[s]) sigaddset(&set, s);
  return set;
}

// Blocks the forwarded signals for its lifetime.
class SignalBlock {
 public:
  SignalBlock() {
    const sigset_t set = ForwardedSet();
    sigprocmask(SIG_BLOCK, &set, &old_);
  }
  ~SignalBlock() { sigprocmask(SIG_SETMASK, &old_, nullptr); }

 private:
  sigset_t old_;
};

// Makes fd the descriptor target of the new program, open across exec.
bool PlaceDescriptor(int fd, int target) {
  if (fd < 0) return true;
  if (fd == target) return fcntl(fd, F_SETFD, 0) == 0;
  return dup2(fd, target) == target;
}

// In the new process before exec (only async-signal-safe calls): default handlers and no
// blocked signals, the end with its parent, the descriptors and the working folder. Gives
// errno on failure.
int PrepareChild(const ProcessRequest& request, pid_t parent) {
  const int death_signal = g_ignored[SIGTERM] ? SIGKILL : SIGTERM;
  if (prctl(PR_SET_PDEATHSIG, death_signal) != 0) return errno;
  if (getppid() != parent) return ESRCH;  // the parent is gone already
  for (int s : kForwardedSignals) {
    if (!g_ignored[s]) signal(s, SIG_DFL);
  }
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  if (!PlaceDescriptor(request.stdout_fd, STDOUT_FILENO)) return errno;
  if (!PlaceDescriptor(request.extra_fd, 3)) return errno;
  if (!request.working_folder.empty() && chdir(request.working_folder.c_str()) != 0) return errno;
  return 0;
}

// Runs in the new process: prepares it and runs the program; reports errno on report_fd when
// that fails.
[[noreturn]] void RunChild(const ProcessRequest& request, char* const* argv, char* const* envp,
                           pid_t parent, int report_fd) {
  int error = PrepareChild(request, parent);
  if (error == 0) {
    execve(request.program.c_str(), argv, envp);
    error = errno;
  }
  while (write(report_fd, &error, sizeof error) < 0 && errno == EINTR) {
  }
  _exit(127);
}

// The errno the child reported before exec, or 0 once exec closed the pipe.
int ChildStartError(int report_fd) {
  int error = 0;
  ssize_t got;
  while ((got = read(report_fd, &error, sizeof error)) < 0 && errno == EINTR) {
  }
  return got == static_cast<ssize_t>(sizeof error) ? error : 0;
}

// Our environment with the request's entries set on top (an entry replaces ours of its name).
std::vector<std::string> ChildEnvironment(const ProcessRequest& request) {
  std::vector<std::string> entries;
  auto name_of = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const bool replaced = std::any_of(request.environment.begin(), request.environment.end(),
                                      [&](const std::string& r) { return name_of(r) == name_of(entry); });
    if (!replaced) entries.push_back(entry);
  }
  entries.insert(entries.end(), request.environment.begin(), request.environment.end());
  return entries;
}

std::vector<char*> Pointers(const std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (const std::string& text : texts) pointers.push_back(const_cast<char*>(text.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

pid_t Spawn(const ProcessRequest& request) {
  std::vector<char*> argv = Pointers(request.argv);
  const std::vector<std::string> environment = ChildEnvironment(request);
  std::vector<char*> envp = Pointers(environment);
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) throw PackerError(ErrnoText("cannot start a program", errno));
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) RunChild(request, argv.data(), envp.data(), parent, report[1]);
  const int fork_error = errno;
  close(report[1]);
  const int error = pid < 0 ? fork_error : ChildStartError(report[0]);
  close(report[0]);
  if (pid > 0 && error != 0) {
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  // The program may be named by a package: its name is printed escaped.
  if (error != 0)
    throw PackerError(ErrnoText("cannot start " + PrintableName(request.program), error));
  return pid;
}

ProcessResult ResultOf(int status) {
  if (WIFEXITED(status)) return {true, WEXITSTATUS(status), 0};
  return {false, 0, WTERMSIG(status)};
}

ProcessResult WaitFor(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) throw PackerError(ErrnoText("cannot wait for a program", errno));
  }
  return ResultOf(status);
}

// How long a program asked to end may take before it is killed.
constexpr int kStopGraceMs = 2000;

// Waits up to kStopGraceMs for the program's end; false when it is still running.
bool WaitBriefly(pid_t pid, int& status) {
  for (int waited = 0; waited < kStopGraceMs; waited += 10) {
    const pid_t got = waitpid(pid, &status, WNOHANG);
    if (got == pid) return true;
    if (got < 0 && errno != EINTR) return true;
    usleep(10 * 1000);
  }
  return false;
}

}  // namespace

void InstallInterruptHandlers() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int s : kForwardedSignals) {
    struct sigaction old {};
    sigaction(s, nullptr, &old);
    if (old.sa_handler == SIG_IGN) g_ignored[s] = true;
    if (!g_ignored[s]) sigaction(s, &action, nullptr);
  }
}

int PendingInterrupt() {
  return g_interrupt;
}

void ThrowIfInterrupted() {
  if (g_interrupt != 0) throw InterruptedError();
}

RunningProcess::RunningProcess(const ProcessRequest& request) {
  InstallInterruptHandlers();
  const SignalBlock block;
  ThrowIfInterrupted();
  pid_ = Spawn(request);
  g_child_pid = pid_;
  // Another thread of this program may have taken a signal meanwhile, with no child yet to
  // pass it on to.
  if (g_interrupt != 0) kill(pid_, g_interrupt);
}  // Signals that came to this thread meanwhile are delivered now and reach the child.

RunningProcess::~RunningProcess() {
  try {
    Stop();
  } catch (const PackerError&) {
    // It could not be waited for: nothing is left to do about it.
  }
}

ProcessResult RunningProcess::Wait() {
  if (ended_) return result_;
  result_ = WaitFor(pid_);
  ended_ = true;
  if (g_child_pid == pid_) g_child_pid = 0;
  return result_;
}

ProcessResult RunningProcess::Stop() {
  if (ended_) return result_;
  kill(pid_, SIGTERM);
  int status = 0;
  if (!WaitBriefly(pid_, status)) {
    kill(pid_, SIGKILL);
    return Wait();
  }
  result_ = ResultOf(status);
  ended_ = true;
  if (g_child_pid == pid_) g_child_pid = 0;
  return result_;
}

ProcessResult RunProcess(const ProcessRequest& request) {
  RunningProcess process(request);
  return process.Wait();
}

int ExitCodeOf(const ProcessResult& result) {
  return result.exited ? result.code : 128 + result.signal;
}

}  // namespace mw::packer
