#include "packer/program_folder.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "packer/packer_error.h"

namespace mw::packer {

std::string OwnProgramPath() {
  std::error_code error;
  const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) throw PackerError("cannot find this program's own file: " + error.message());
  return path.string();
}

std::string ProgramFolder() {
  return FolderOf(OwnProgramPath());
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return "./";
  return path.substr(0, slash + 1);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace mw::packer
