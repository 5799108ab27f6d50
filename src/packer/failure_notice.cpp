#include "packer/failure_notice.h"

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <sstream>
#include <vector>

#include "packer/process.h"
#include "packer/program_folder.h"
#include "packer/x11_notice.h"

namespace mw::packer {
namespace {

constexpr const char* kTitle = "MarkWeaver";

std::string FindOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path ? path : "/usr/bin:/bin");
  for (std::string folder; std::getline(folders, folder, ':');) {
    if (folder.empty()) continue;
    const std::string candidate = JoinPath(folder, name);
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

// Runs the window program; true when it could show the window.
bool ShowWith(const std::string& program, std::vector<std::string> argv) {
  ProcessRequest request;
  request.program = program;
  request.argv = std::move(argv);
  try {
    const ProcessResult result = RunProcess(request);
    return result.exited && !PlayerCouldNotStart(result.code);
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

void ShowFailureNotice(const std::string& reason, const std::string& player) {
  std::cerr << "package: " << reason << std::endl;
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) return;
  const std::string text = "The package cannot be played.\n\n" + reason;
  if (!player.empty() && access(player.c_str(), X_OK) == 0 &&
      access(JoinPath(FolderOf(player), "mwRun.lib").c_str(), F_OK) == 0 &&
      ShowWith(player, {player.substr(FolderOf(player).size()), "--failure", reason})) {
    return;
  }
  if (ShowX11Notice(kTitle, text)) return;
  if (const std::string zenity = FindOnPath("zenity"); !zenity.empty()) {
    if (ShowWith(zenity, {"zenity", "--error", "--title", kTitle, "--text", text})) return;
  }
  if (const std::string kdialog = FindOnPath("kdialog"); !kdialog.empty()) {
    if (ShowWith(kdialog, {"kdialog", "--title", kTitle, "--error", text})) return;
  }
  if (const std::string xmessage = FindOnPath("xmessage"); !xmessage.empty()) {
    ShowWith(xmessage, {"xmessage", "-title", kTitle, "-center", text});
  }
}

bool PlayerCouldNotStart(int exit_code) {
  return exit_code == 127 || exit_code == 128 + SIGABRT || exit_code == 128 + SIGSEGV ||
         exit_code == 128 + SIGBUS;
}

}  // namespace mw::packer
