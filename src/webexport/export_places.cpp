#include "webexport/export_places.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "webexport/export_names.h"
#include "webexport/export_target.h"
#include "webexport/web_export.h"

namespace fs = std::filesystem;

namespace mw {

namespace {

std::string TemporaryFolder() {
  const char* tmp = std::getenv("TMPDIR");
  return tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp";
}

// True when `folder` is a real folder (no link) of this user that no one else may enter.
bool IsPrivateFolder(const std::string& folder) {
  struct stat info {};
  return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
         info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
}

}  // namespace

std::string DefaultWebDestination(const std::string& mapPath, bool singleFile) {
  const fs::path map(mapPath);
  const std::string name = DefaultWebTitle(mapPath).empty() ? "map" : DefaultWebTitle(mapPath);
  return (map.parent_path() / (name + (singleFile ? ".html" : "-web"))).string();
}

std::string DestinationForForm(const std::string& destination, bool singleFile) {
  if (destination.empty() || IsSingleFileDestination(destination) == singleFile) return destination;
  if (singleFile) {
    std::string file = destination;
    while (file.size() > 1 && file.back() == '/') file.pop_back();
    return file + ".html";
  }
  const std::size_t dot = destination.rfind('.');
  return destination.substr(0, dot);
}

std::string PreviewDestination(const std::string& mapPath) {
  const std::string folder =
      TemporaryFolder() + "/markweaver-preview-" + std::to_string(::getuid());
  ::mkdir(folder.c_str(), 0700);
  if (!IsPrivateFolder(folder)) return {};
  const std::string name = DefaultWebTitle(mapPath);
  return folder + "/" + UrlSafeName(name.empty() ? "map" : name);
}

}  // namespace mw
