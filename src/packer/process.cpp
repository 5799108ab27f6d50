#include "packer/process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

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

// Spawn attributes: the child starts with no blocked signals and default handlers.
class SpawnAttributes {
 public:
  SpawnAttributes() {
    posix_spawnattr_init(&attr_);
    sigset_t none;
    sigemptyset(&none);
    const sigset_t defaults = ForwardedSet();
    posix_spawnattr_setsigmask(&attr_, &none);
    posix_spawnattr_setsigdefault(&attr_, &defaults);
    posix_spawnattr_setflags(&attr_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  }
  ~SpawnAttributes() { posix_spawnattr_destroy(&attr_); }
  const posix_spawnattr_t* get() const { return &attr_; }

 private:
  posix_spawnattr_t attr_;
};

class FileActions {
 public:
  explicit FileActions(const ProcessRequest& request) {
    posix_spawn_file_actions_init(&actions_);
    if (request.stdout_fd >= 0) {
      posix_spawn_file_actions_adddup2(&actions_, request.stdout_fd, STDOUT_FILENO);
    }
    if (!request.working_folder.empty()) {
      posix_spawn_file_actions_addchdir_np(&actions_, request.working_folder.c_str());
    }
  }
  ~FileActions() { posix_spawn_file_actions_destroy(&actions_); }
  const posix_spawn_file_actions_t* get() const { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

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

pid_t Spawn(const ProcessRequest& request) {
  std::vector<char*> argv;
  for (const std::string& arg : request.argv) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const SpawnAttributes attributes;
  const FileActions actions(request);
  pid_t pid = 0;
  const int error = posix_spawn(&pid, request.program.c_str(), actions.get(), attributes.get(),
                                argv.data(), environ);
  // The program may be named by a package: its name is printed escaped.
  if (error != 0)
    throw PackerError(ErrnoText("cannot start " + PrintableName(request.program), error));
  return pid;
}

ProcessResult WaitFor(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) throw PackerError(ErrnoText("cannot wait for a program", errno));
  }
  if (WIFEXITED(status)) return {true, WEXITSTATUS(status), 0};
  return {false, 0, WTERMSIG(status)};
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

ProcessResult RunProcess(const ProcessRequest& request) {
  InstallInterruptHandlers();
  pid_t pid = 0;
  {
    const SignalBlock block;
    if (g_interrupt != 0) throw PackerError("interrupted");
    pid = Spawn(request);
    g_child_pid = pid;
  }  // Signals that came meanwhile are delivered now and reach the child.
  const ProcessResult result = WaitFor(pid);
  g_child_pid = 0;
  return result;
}

int ExitCodeOf(const ProcessResult& result) {
  return result.exited ? result.code : 128 + result.signal;
}

}  // namespace mw::packer
