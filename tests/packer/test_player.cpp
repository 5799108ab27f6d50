// A stand-in for the player: writes what it was started with to the file named by
// MW_PLAYER_REPORT, so that tests can check what a package handed over.
//   MW_PLAYER_WAIT=1   after the report, wait until a signal ends it (SIGTERM: exit 7)
//   MW_PLAYER_EXIT=N   exit with code N
//   MW_PLAYER_STARTS=F append a line to the file F at each start
//   MW_PLAYER_FILES_AT_START=F  write the files in place at its start to F, as the report
// Started at an unpack gate, it first waits for the gate's end, as the player waits before
// it opens any clip but its start clip, and reports the files named on it before the end.
#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "fnv_hash.h"

namespace {

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  return hex;
}

std::string FileLines() {
  std::ostringstream out;
  DIR* dir = opendir(".");
  while (dirent* entry = dir ? readdir(dir) : nullptr) {
    const std::string name = entry->d_name;
    // The runtime linked in beside the player and the session folder are the package's
    // own, not among its files.
    if (name == "." || name == ".." || entry->d_type == DT_LNK || entry->d_type == DT_DIR)
      continue;
    std::ifstream in(name, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    out << "file " << Hex(name) << " " << content.str().size() << " "
        << mw::test::Fnv1a(content.str()) << "\n";
  }
  if (dir) closedir(dir);
  return out.str();
}

void WriteReport(const std::string& path, int argc, char** argv,
                 const std::optional<std::vector<std::string>>& gate) {
  std::ostringstream report;
  if (gate) report << "gated 1\n";
  for (const std::string& name : gate.value_or(std::vector<std::string>()))
    report << "gate " << Hex(name) << "\n";
  report << "argc " << argc << "\n";
  for (int i = 0; i < argc; ++i) report << "arg " << Hex(argv[i]) << "\n";
  char cwd[4096] = {};
  report << "cwd " << (getcwd(cwd, sizeof cwd) ? cwd : "?") << "\n";
  report << "pid " << getpid() << "\n";
  report << FileLines();
  const std::string partial = path + ".partial";
  std::ofstream(partial, std::ios::binary) << report.str();
  std::rename(partial.c_str(), path.c_str());
}

// The names read from the unpack gate up to its end, in order; nothing without a gate.
std::optional<std::vector<std::string>> WaitAtTheGate() {
  const char* gate = std::getenv("MW_UNPACK_GATE");
  if (!gate) return std::nullopt;
  std::vector<std::string> names;
  const int fd = std::atoi(gate);
  std::string pending;
  char buffer[4096];
  for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) != 0;) {
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) break;
    pending.append(buffer, static_cast<std::size_t>(got));
  }
  close(fd);
  std::istringstream records(pending);
  for (std::string name; std::getline(records, name, '\0');) names.push_back(name);
  return names;
}

void OnTerm(int) {
  _exit(7);
}

}  // namespace

int main(int argc, char** argv) {
  if (const char* starts = std::getenv("MW_PLAYER_STARTS")) {
    std::ofstream(starts, std::ios::app) << "start " << getpid() << "\n";
  }
  if (const char* at_start = std::getenv("MW_PLAYER_FILES_AT_START")) {
    std::ofstream(at_start) << FileLines();
  }
  const std::optional<std::vector<std::string>> gate = WaitAtTheGate();
  // The answer to SIGTERM is set before the report, so that a test that signals as soon as
  // it sees the report always gets it.
  const bool wait = std::getenv("MW_PLAYER_WAIT") != nullptr;
  if (wait) signal(SIGTERM, OnTerm);
  const char* report = std::getenv("MW_PLAYER_REPORT");
  if (report) WriteReport(report, argc, argv, gate);
  if (wait) {
    for (;;) pause();
  }
  const char* code = std::getenv("MW_PLAYER_EXIT");
  return code ? std::atoi(code) : 0;
}
