#include "webexport/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace mw {

namespace {

constexpr std::size_t kErrorTailBytes = 4096;
constexpr int kPollMilliseconds = 100;

struct Pipes {
  int out[2] = {-1, -1};
  int err[2] = {-1, -1};
};

void CloseIfOpen(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

void ClosePipes(Pipes& pipes) {
  for (int* fd : {&pipes.out[0], &pipes.out[1], &pipes.err[0], &pipes.err[1]}) CloseIfOpen(*fd);
}

// In the child, between fork and exec: only calls that are safe there.
[[noreturn]] void ExecChild(const char* program, char* const* argv, const Pipes& pipes,
                            pid_t parent) {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent) ::_exit(127);
  const int input = ::open("/dev/null", O_RDONLY);
  if (input >= 0) ::dup2(input, STDIN_FILENO);
  ::dup2(pipes.out[1], STDOUT_FILENO);
  ::dup2(pipes.err[1], STDERR_FILENO);
  ::execv(program, argv);
  ::_exit(127);
}

// Reads what the program writes until both pipes close, handing over whole lines.
class OutputReader {
 public:
  OutputReader(const ChildHooks& hooks, ChildOutcome& outcome) : hooks_(hooks), outcome_(outcome) {}

  // Reads what is there; false once `fd` has closed.
  bool ReadFrom(int fd, bool isStdout) {
    std::array<char, 16384> buffer{};
    const ssize_t count = ::read(fd, buffer.data(), buffer.size());
    if (count < 0 && (errno == EINTR || errno == EAGAIN)) return true;
    if (count <= 0) return false;
    const std::string_view data(buffer.data(), static_cast<std::size_t>(count));
    if (isStdout) {
      TakeOutput(data);
    } else {
      outcome_.errorTail.append(data);
      if (outcome_.errorTail.size() > 2 * kErrorTailBytes)
        outcome_.errorTail.erase(0, outcome_.errorTail.size() - kErrorTailBytes);
    }
    return true;
  }

  void Finish() {
    if (!pending_.empty() && hooks_.onLine) hooks_.onLine(pending_);
    if (outcome_.errorTail.size() > kErrorTailBytes)
      outcome_.errorTail.erase(0, outcome_.errorTail.size() - kErrorTailBytes);
  }

 private:
  void TakeOutput(std::string_view data) {
    if (!hooks_.onLine) {
      outcome_.output.append(data);
      return;
    }
    pending_.append(data);
    std::size_t start = 0, end = 0;
    while ((end = pending_.find('\n', start)) != std::string::npos) {
      hooks_.onLine(pending_.substr(start, end - start));
      start = end + 1;
    }
    pending_.erase(0, start);
  }

  const ChildHooks& hooks_;
  ChildOutcome& outcome_;
  std::string pending_;
};

void ReadUntilClosed(Pipes& pipes, pid_t child, const ChildHooks& hooks, ChildOutcome& outcome) {
  OutputReader reader(hooks, outcome);
  bool outOpen = true, errOpen = true;
  while (outOpen || errOpen) {
    if (!outcome.cancelled && hooks.cancelled && hooks.cancelled()) {
      outcome.cancelled = true;
      ::kill(child, SIGKILL);
    }
    std::array<pollfd, 2> fds{
        {{outOpen ? pipes.out[0] : -1, POLLIN, 0}, {errOpen ? pipes.err[0] : -1, POLLIN, 0}}};
    if (::poll(fds.data(), fds.size(), kPollMilliseconds) < 0 && errno != EINTR) break;
    if (outOpen && fds[0].revents != 0) outOpen = reader.ReadFrom(pipes.out[0], true);
    if (errOpen && fds[1].revents != 0) errOpen = reader.ReadFrom(pipes.err[0], false);
  }
  reader.Finish();
}

}  // namespace

std::optional<std::string> FindProgram(const std::string& program) {
  if (program.find('/') != std::string::npos) {
    if (::access(program.c_str(), X_OK) == 0) return program;
    return std::nullopt;
  }
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= folders.size()) {
    std::size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    const std::string folder = folders.substr(start, end - start);
    const std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return std::nullopt;
}

ChildOutcome RunChild(const std::string& program, const std::vector<std::string>& arguments,
                      const ChildHooks& hooks) {
  ChildOutcome outcome;
  std::vector<std::string> words{program};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  Pipes pipes;
  if (::pipe2(pipes.out, O_CLOEXEC) != 0 || ::pipe2(pipes.err, O_CLOEXEC) != 0) {
    outcome.error = std::strerror(errno);
    ClosePipes(pipes);
    return outcome;
  }
  const pid_t parent = ::getpid();
  const pid_t child = ::fork();
  if (child < 0) {
    outcome.error = std::strerror(errno);
    ClosePipes(pipes);
    return outcome;
  }
  if (child == 0) ExecChild(program.c_str(), argv.data(), pipes, parent);
  CloseIfOpen(pipes.out[1]);
  CloseIfOpen(pipes.err[1]);
  outcome.started = true;
  ReadUntilClosed(pipes, child, hooks, outcome);
  ClosePipes(pipes);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return outcome;
}

}  // namespace mw
