#include "package/workshop.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "package/make_package.h"

namespace fs = std::filesystem;

namespace mw {

namespace {

// Files the workshop holds as copies: the package build tool finds its helpers and the
// player runtime beside its own real path, so it must really lie in the workshop.
constexpr const char* kCopiedFiles[] = {kPlayerSourceName, kPackageBuildToolName,
                                        kExtractorRestName, kArchiverRestName, "readme.txt"};
// Large files that are only read: linked, not copied.
constexpr const char* kLinkedFiles[] = {"player-runtime.tar.zst", "player-runtime-movie.tar.zst"};
// Names the tools have while a build runs; found at the start only after a build was cut off.
constexpr const char* kRunNames[] = {kExtractorRunName, kArchiverRunName};

std::string WithSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

std::string AbsoluteVariable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || value[0] != '/') return {};
  return value;
}

bool SameFile(const fs::path& original, const fs::path& copy) {
  std::error_code error;
  if (!fs::is_regular_file(fs::symlink_status(copy, error))) return false;
  if (fs::file_size(original, error) != fs::file_size(copy, error) || error) return false;
  return fs::last_write_time(original, error) == fs::last_write_time(copy, error) && !error;
}

// Copies under a temporary name and renames it into place, so a build never sees half a copy.
bool CopyIntoPlace(const fs::path& original, const fs::path& copy) {
  std::error_code error;
  if (SameFile(original, copy)) return true;
  const fs::path partial = copy.string() + ".partial";
  fs::remove(partial, error);
  if (!fs::copy_file(original, partial, error) || error) return false;
  fs::last_write_time(partial, fs::last_write_time(original, error), error);
  if (!error) fs::rename(partial, copy, error);
  if (error) fs::remove(partial, error);
  return SameFile(original, copy);
}

bool LinkIntoPlace(const fs::path& original, const fs::path& link) {
  std::error_code error;
  if (fs::is_symlink(fs::symlink_status(link, error)) && fs::read_symlink(link, error) == original)
    return true;
  const fs::path partial = link.string() + ".partial";
  fs::remove(partial, error);
  fs::create_symlink(original, partial, error);
  if (!error) fs::rename(partial, link, error);
  if (error) fs::remove(partial, error);
  return !error;
}

// Keeps `name` in the workshop as the program folder has it: made, renewed or removed.
bool FollowOriginal(const std::string& programFolder, const std::string& workshop,
                    const std::string& name, bool copied) {
  std::error_code error;
  const fs::path original = programFolder + name;
  const fs::path ours = workshop + name;
  if (!fs::exists(original, error)) {
    fs::remove(ours, error);
    return !fs::exists(fs::symlink_status(ours, error));
  }
  return copied ? CopyIntoPlace(original, ours) : LinkIntoPlace(original, ours);
}

}  // namespace

std::string WorkshopFolder() {
  std::string data = AbsoluteVariable("XDG_DATA_HOME");
  if (data.empty()) {
    const std::string home = AbsoluteVariable("HOME");
    if (home.empty()) return {};
    data = WithSlash(home) + ".local/share";
  }
  return WithSlash(data) + "markweaver/";
}

bool FolderWritable(const std::string& folder) {
  return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string BuildFolderFor(const std::string& programFolder) {
  const std::string folder = WithSlash(programFolder);
  if (FolderWritable(folder)) return folder;
  return WorkshopFolder();
}

WorkshopProblem PrepareWorkshop(const std::string& programFolder, const std::string& workshop) {
  const std::string from = WithSlash(programFolder);
  const std::string to = WithSlash(workshop);
  std::error_code error;
  fs::create_directories(to, error);
  if (!fs::is_directory(to, error)) return {to};
  for (const char* name : kRunNames) fs::remove(to + name, error);
  for (const char* name : kCopiedFiles) {
    if (!FollowOriginal(from, to, name, true)) return {to + name};
  }
  for (const char* name : kLinkedFiles) {
    if (!FollowOriginal(from, to, name, false)) return {to + name};
  }
  return {};
}

void PutCutOffBuildToRest(const std::string& buildFolder, const std::string& stagingFolder) {
  const std::string folder = WithSlash(buildFolder);
  std::error_code error;
  for (const auto& [rest, run] : {std::pair{kExtractorRestName, kExtractorRunName},
                                  std::pair{kArchiverRestName, kArchiverRunName}}) {
    if (fs::exists(fs::symlink_status(folder + run, error)) &&
        !fs::exists(fs::symlink_status(folder + rest, error)))
      fs::rename(folder + run, folder + rest, error);
  }
  for (const fs::directory_entry& entry : fs::directory_iterator(stagingFolder, error)) {
    if (!entry.is_directory(error)) fs::remove(entry.path(), error);
  }
}

bool IsToolRunPath(const std::string& buildFolder, const std::string& path) {
  std::error_code error;
  const fs::path package = fs::weakly_canonical(path, error);
  for (const char* run : kRunNames) {
    std::error_code ignored;
    if (!error && package == fs::weakly_canonical(WithSlash(buildFolder) + run, ignored))
      return true;
  }
  return false;
}

}  // namespace mw
