#include "editor/program_location.h"

#include <filesystem>
#include <system_error>

namespace mw {

std::string ProgramFolderOfThisProcess() {
  std::error_code error;
  // The kernel gives the executable's path with every link resolved.
  const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  std::string folder = executable.parent_path().string();
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace mw
