#include "packer/temp_folder.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <iostream>
#include <system_error>
#include <vector>

#include "packer/packer_error.h"

namespace mw::packer {
namespace {

std::string TempBase() {
  const char* tmpdir = std::getenv("TMPDIR");
  std::string base = (tmpdir && *tmpdir) ? tmpdir : "/tmp";
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return base;
}

// Gives the owner full rights on every folder below path, so that folders a program made
// read-only can still be emptied.
void OpenUpFolders(const std::filesystem::path& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (!fs::is_directory(fs::symlink_status(path, error))) return;
  chmod(path.c_str(), S_IRWXU);
  for (fs::directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
    OpenUpFolders(it->path());
  }
}

}  // namespace

std::string MakePrivateTempFolder() {
  std::string path = TempBase() + "/mwpkg-XXXXXX";
  std::vector<char> name(path.begin(), path.end());
  name.push_back('\0');
  if (!mkdtemp(name.data())) {
    throw PackerError(ErrnoText("cannot make a temporary folder in " + TempBase(), errno));
  }
  // An absolute path, so that a program started inside it can be named by this path.
  std::error_code error;
  const auto absolute = std::filesystem::absolute(name.data(), error);
  return error ? std::string(name.data()) : absolute.string();
}

bool RemoveTree(const std::string& path, std::string* error_text) {
  std::error_code error;
  std::filesystem::remove_all(path, error);
  if (error) {
    OpenUpFolders(path);
    error.clear();
    std::filesystem::remove_all(path, error);
  }
  if (error && error_text) *error_text = error.message();
  return !error;
}

OwnedFolder::~OwnedFolder() {
  if (path_.empty()) return;
  std::string error;
  if (!RemoveTree(path_, &error)) {
    std::cerr << "warning: cannot remove the folder " << path_ << ": " << error << "\n";
  }
}

}  // namespace mw::packer
