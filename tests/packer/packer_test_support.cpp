#include "packer_test_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "fnv_hash.h"

extern char** environ;

namespace mw::test {
namespace fs = std::filesystem;

TempDir::TempDir() {
  char name[] = "/tmp/mw-packer-test-XXXXXX";
  path_ = mkdtemp(name);
}

TempDir::~TempDir() {
  std::error_code error;
  fs::remove_all(path_, error);
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  ASSERT_TRUE(out.good()) << path;
}

std::string CommandOutput(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    for (size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, got);
    pclose(pipe);
  }
  return out;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Exists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}

std::vector<std::string> ListFolder(const std::string& path) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(path, error)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937_64 random(seed);
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; i += 8) {
    const std::uint64_t value = random();
    for (std::size_t j = 0; j < 8 && i + j < size; ++j) bytes[i + j] = char(value >> (8 * j));
  }
  return bytes;
}

std::string CompressibleText(std::size_t size) {
  std::string text;
  while (text.size() < size) text += "MarkWeaver map line " + std::to_string(text.size()) + "\r\n";
  return text;
}

namespace {

std::vector<std::string> Environment(const std::map<std::string, std::string>& extra) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string key = entry.substr(0, entry.find('='));
    if (!extra.count(key)) env.push_back(entry);
  }
  for (const auto& [key, value] : extra) env.push_back(key + "=" + value);
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

int ExitCodeOfStatus(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

pid_t Start(const RunRequest& launch, const std::string& out_path, const std::string& err_path) {
  std::vector<std::string> argv = launch.argv;
  std::vector<std::string> env = Environment(launch.env);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  if (!launch.cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, launch.cwd.c_str());
  pid_t pid = -1;
  const int error = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, Pointers(argv).data(),
                                Pointers(env).data());
  posix_spawn_file_actions_destroy(&actions);
  EXPECT_EQ(error, 0) << "cannot start " << argv[0];
  return error == 0 ? pid : -1;
}

int WaitExitCode(pid_t pid, std::chrono::seconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      ADD_FAILURE() << "program did not end in time";
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return ExitCodeOfStatus(status);
}

RunResult RunProgram(const RunRequest& launch) {
  const TempDir output;
  const pid_t pid = Start(launch, output / "out", output / "err");
  RunResult result;
  if (pid < 0) return result;
  result.exit_code = WaitExitCode(pid);
  result.out = ReadFile(output / "out");
  result.err = ReadFile(output / "err");
  return result;
}

bool WaitForFile(const std::string& path, std::chrono::seconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!Exists(path)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

RunResult BuildFromDirective(const std::string& program, const std::string& directive) {
  WriteFile(program + "mwdat.dat", directive);
  return RunProgram({{program + "MarkWeaverL.dll", "/N", "/Q", "mwdat.dat"}, program, {}});
}

std::string StageTestPlayer(const std::string& staging) {
  const std::string player = ReadFile(TestPlayerPath());
  WriteFile(staging + "mwRun.exe", player);
  fs::permissions(staging + "mwRun.exe", fs::perms(0755));
  return player;
}

std::string MakeProgramFolder(const TempDir& root) {
  const std::string folder = root / "program";
  fs::create_directory(folder);
  fs::copy_file(BinPath("MarkWeaverL.dll"), folder + "/MarkWeaverL.dll");
  fs::copy_file(BinPath("kecab.dll"), folder + "/makecab.exe");
  fs::copy_file(BinPath("tract.dll"), folder + "/wextract.exe");
  // The runtime parts are linked, as an installed program folder may hold them.
  for (const char* part : {"player-runtime.tar.zst", "player-runtime-movie.tar.zst"}) {
    fs::create_symlink(BinPath(part), folder + "/" + part);
  }
  return folder + "/";
}

namespace {

std::string Unhex(const std::string& hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += char(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

}  // namespace

PlayerReport ReadPlayerReport(const std::string& path) {
  PlayerReport report;
  std::istringstream in(ReadFile(path));
  std::string kind;
  bool first_arg = true;
  while (in >> kind) {
    std::string value;
    if (kind == "arg") {
      in >> value;
      if (!first_arg) report.args.push_back(Unhex(value));
      first_arg = false;
    } else if (kind == "cwd") {
      std::getline(in >> std::ws, report.cwd);
    } else if (kind == "file") {
      std::string size, hash;
      in >> value >> size >> hash;
      report.files[Unhex(value)] = size + " " + hash;
    } else if (kind == "gated") {
      in >> value;
      report.gated = true;
    } else if (kind == "gate") {
      in >> value;
      report.gate_names.push_back(Unhex(value));
    } else {
      in >> value;
    }
  }
  return report;
}

std::string Fingerprint(const std::string& content) {
  return std::to_string(content.size()) + " " + Fnv1a(content);
}

std::string DirectiveText(const std::string& target, const std::string& staging,
                          const std::string& message, const std::vector<std::string>& clips) {
  std::vector<std::string> lines = {
      "[Version]",
      "Class=IEXPRESS",
      "SEDVersion=3",
      "[Options]",
      "PackagePurpose=InstallApp",
      "ShowInstallProgramWindow=0",
      "HideExtractAnimation=0",
      "UseLongFileName=1",
      "InsideCompressed=0",
      "CAB_FixedSize=0",
      "CAB_ResvCodeSigning=0",
      "RebootMode=N",
      "InstallPrompt=%InstallPrompt%",
      "DisplayLicense=%DisplayLicense%",
      "FinishMessage=%FinishMessage%",
      "TargetName=%TargetName%",
      "FriendlyName=%FriendlyName%",
      "AppLaunched=%AppLaunched%",
      "PostInstallCmd=%PostInstallCmd%",
      "AdminQuietInstCmd=%AdminQuietInstCmd%",
      "UserQuietInstCmd=%UserQuietInstCmd%",
      "SourceFiles=SourceFiles",
      "[Strings]",
      "InstallPrompt=",
      "DisplayLicense=",
      "FinishMessage=",
      "TargetName=" + target,
      "FriendlyName=MarkWeaver",
      "AppLaunched=mwRun.exe " + (message.empty() ? "" : "\"" + message + "\""),
      "PostInstallCmd=<None>",
      "AdminQuietInstCmd=",
      "UserQuietInstCmd=",
      "FILE0=\"mwRun.exe\"",
      "FILE1=\"mwRun\""};
  for (std::size_t k = 0; k < clips.size(); ++k) {
    if (clips[k] != "" && clips[k] != "0")
      lines.push_back("FILE" + std::to_string(k + 2) + "=\"" + clips[k] + "\"");
  }
  lines.insert(lines.end(), {"[SourceFiles]", "SourceFiles0=" + staging, "[SourceFiles0]",
                             "%FILE0%=", "%FILE1%="});
  for (std::size_t j = 0; j < clips.size(); ++j) {
    lines.push_back("%FILE" + std::to_string(j + 2) + "%=");
  }
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

FileSizeLimit::FileSizeLimit(rlim_t bytes) {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &saved_action_);
  getrlimit(RLIMIT_FSIZE, &saved_);
  rlimit limit = saved_;
  limit.rlim_cur = bytes;
  EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
}

FileSizeLimit::~FileSizeLimit() {
  setrlimit(RLIMIT_FSIZE, &saved_);
  sigaction(SIGXFSZ, &saved_action_, nullptr);
}

std::string TestPlayerPath() {
  return MW_TEST_PLAYER;
}
std::string BinPath(const std::string& name) {
  return std::string(MW_BIN_DIR) + "/" + name;
}

}  // namespace mw::test
