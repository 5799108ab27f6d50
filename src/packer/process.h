#pragma once

#include <string>
#include <vector>

namespace mw::packer {

// A program to start without a shell.
struct ProcessRequest {
  std::string program;            // path of the executable, used as is (no PATH search)
  std::vector<std::string> argv;  // argv[0] first
  std::string working_folder;     // current directory of the program; empty: ours
  int stdout_fd = -1;             // becomes its standard output; -1: ours
  int extra_fd = -1;              // becomes its descriptor 3; -1: none
  std::vector<std::string> environment;  // "NAME=value" entries set on top of ours
};

// How a started program ended.
struct ProcessResult {
  bool exited = false;  // true: ended by exit with code; false: killed by signal
  int code = 0;
  int signal = 0;
};

// Catches SIGINT, SIGTERM, SIGHUP and SIGQUIT from now on: each is recorded and, while
// RunProcess waits for a program, passed on to that program. Safe to call more than once.
void InstallInterruptHandlers();

// The last of those signals that reached this process, or 0.
int PendingInterrupt();
// Throws InterruptedError once one of them has reached this process.
void ThrowIfInterrupted();

// Starts the program, waits for its end and returns how it ended. The signals of
// InstallInterruptHandlers are passed on to it meanwhile, and it ends with this process:
// when this process dies (even by SIGKILL) the program gets SIGTERM (SIGKILL when SIGTERM
// was ignored at our start). Throws PackerError when it cannot be started or when an
// interrupt arrived before it could be started.
ProcessResult RunProcess(const ProcessRequest& request);

// A program started and not yet waited for; see RunProcess. Dropping it without Wait ends
// the program (as Stop does).
class RunningProcess {
 public:
  // Starts the program; throws as RunProcess does.
  explicit RunningProcess(const ProcessRequest& request);
  ~RunningProcess();
  RunningProcess(const RunningProcess&) = delete;
  RunningProcess& operator=(const RunningProcess&) = delete;

  // Waits for its end, passing on the signals of InstallInterruptHandlers meanwhile; later
  // calls give the same result.
  ProcessResult Wait();
  // Ends it (SIGTERM, then SIGKILL when it is still there after a grace time) and waits.
  ProcessResult Stop();

 private:
  int pid_ = 0;
  ProcessResult result_;
  bool ended_ = false;
};

// The exit code a caller passes on for result: the program's code, or 128 + the signal.
int ExitCodeOf(const ProcessResult& result);

}  // namespace mw::packer
