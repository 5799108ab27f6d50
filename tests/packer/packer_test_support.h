#pragma once

#include <signal.h>
#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace mw::test {

// A fresh folder under /tmp, removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
// The names in a folder, sorted.
std::vector<std::string> ListFolder(const std::string& path);
// What a shell command writes on standard output; empty when it cannot run.
std::string CommandOutput(const std::string& command);
// Random bytes that do not compress, like a photo's.
std::string RandomBytes(std::size_t size, unsigned seed);
// Text of at least size bytes that compresses well, like a map file's.
std::string CompressibleText(std::size_t size);

// How a test run of a program ended, with what it printed.
struct RunResult {
  int exit_code = -1;  // 128 + signal when killed
  std::string out;
  std::string err;
};

// A program run: argv[0] is the program path; env entries are added to our environment.
struct RunRequest {
  std::vector<std::string> argv;
  std::string cwd;
  std::map<std::string, std::string> env;
};

// Starts a program (no shell) with its output going to files; returns its pid.
pid_t Start(const RunRequest& launch, const std::string& out_path, const std::string& err_path);
// Waits for pid until the deadline; kills it and fails the test after the deadline.
int WaitExitCode(pid_t pid, std::chrono::seconds limit = std::chrono::seconds(60));
// Runs a program to its end.
RunResult RunProgram(const RunRequest& launch);
// Polls until path exists or the deadline passes.
bool WaitForFile(const std::string& path, std::chrono::seconds limit = std::chrono::seconds(20));

// A program folder as the editor has it during a build: MarkWeaverL.dll, makecab.exe and
// wextract.exe, copied from the build's program folder.
std::string MakeProgramFolder(const TempDir& root);

// Writes the directive file into the program folder (from MakeProgramFolder) and runs the
// package build tool on it, as the editor does.
RunResult BuildFromDirective(const std::string& program, const std::string& directive);

// Puts the test player into the staging folder as the launched program mwRun.exe; gives its
// content.
std::string StageTestPlayer(const std::string& staging);

// What the test player reported.
struct PlayerReport {
  std::vector<std::string> args;  // argv without argv[0]
  std::string cwd;
  std::map<std::string, std::string> files;  // name -> "size hash"
  bool gated = false;                        // started at an unpack gate
  std::vector<std::string> gate_names;       // the files named on it before its end
};
PlayerReport ReadPlayerReport(const std::string& path);
// "size hash" of content, as the player reports a file.
std::string Fingerprint(const std::string& content);

// A directive file as the editor writes it, CRLF line ends. clips holds one text per clip
// entry in order; an empty text or "0" is a skipped entry (a gap in the numbering).
std::string DirectiveText(const std::string& target, const std::string& staging,
                          const std::string& message, const std::vector<std::string>& clips);

// While it lives, files grow no larger than bytes, here and in the programs started meanwhile:
// a longer write fails as on a full disk (with EFBIG, the signal for it being ignored).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  struct sigaction saved_action_ {};
};

// The path of the test player program and of the build's program folder.
std::string TestPlayerPath();
std::string BinPath(const std::string& name);

}  // namespace mw::test
