#pragma once
// Running a helper program (the movie converter) with an argument list, reading what it
// writes, and stopping it when the export is cancelled.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace mw {

// The full path of `program` found on PATH (or `program` itself when it holds a "/"
// and is executable); nothing when there is none.
std::optional<std::string> FindProgram(const std::string& program);

// How a helper program ended.
struct ChildOutcome {
  bool started = false;    // false: it could not be started (see `error`)
  bool cancelled = false;  // stopped because `cancelled` said so
  int exitCode = -1;       // its exit code; -1 when it ended by a signal
  std::string output;      // what it wrote to stdout (unless lines were handed over)
  std::string errorTail;   // the last lines it wrote to stderr
  std::string error;       // why it could not be started
};

// What to do with a running helper program.
struct ChildHooks {
  // Called with each whole line written to stdout; when unset, stdout is kept in
  // ChildOutcome::output.
  std::function<void(const std::string&)> onLine = {};
  // Asked a few times a second; true stops the program (SIGKILL) and waits for it.
  std::function<bool()> cancelled = {};
};

// Runs `program` (a full path) with `arguments`, without a shell, stdin from /dev/null,
// and waits for its end. The program dies with the calling process, so a killed export
// leaves no converter running.
ChildOutcome RunChild(const std::string& program, const std::vector<std::string>& arguments,
                      const ChildHooks& hooks = {});

}  // namespace mw
