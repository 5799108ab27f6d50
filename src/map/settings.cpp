#include "map/settings.h"

#include <unistd.h>

#include <cerrno>
#include <vector>

#include "map/map_file.h"
#include "map/safe_file.h"

namespace mw {

std::string DefaultMapPath() {
  std::vector<char> buffer(4096);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return "./map1.clm";
    buffer.resize(buffer.size() * 2);
  }
  std::string folder(buffer.data());
  if (folder == "/") return "/map1.clm";
  return folder + "/map1.clm";
}

SettingsContent ReadSettingsFile() {
  SettingsContent settings;
  std::string data;
  if (!ReadWholeFile(kSettingsFileName, data)) return settings;
  settings.found = true;
  MapLineReader reader(data);
  settings.mapPath = reader.ReadMapLine();
  return settings;
}

bool WriteSettingsFile(const std::string& mapPath) {
  // A path with a line feed in it would not read back as one line.
  if (mapPath.find('\n') != std::string::npos) return false;
  return ReplaceFileContent(kSettingsFileName, mapPath + "\r\n").ok;
}

std::string ReadSettings() {
  const std::string fallback = DefaultMapPath();
  SettingsContent settings = ReadSettingsFile();
  if (!settings.found) WriteSettingsFile(fallback);
  return settings.mapPath.empty() ? fallback : settings.mapPath;
}

}  // namespace mw
