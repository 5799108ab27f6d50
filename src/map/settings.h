#pragma once
// The one-line settings file "markweaver.ini" and the default map path.

#include <string>

namespace mw {

inline constexpr const char* kSettingsFileName = "markweaver.ini";

// The current directory followed by "/map1.clm".
std::string DefaultMapPath();

// Result of reading the settings file.
struct SettingsContent {
  bool found = false;    // the file could be read
  std::string mapPath;   // its first line, trailing blanks and control characters removed
};

// Reads the first line of the settings file in the current directory.
SettingsContent ReadSettingsFile();
// Replaces the settings file in the current directory with `mapPath` and a line
// break, safely; a failure is silent by design and only reported by the result.
bool WriteSettingsFile(const std::string& mapPath);

// The map path the editor starts from: the settings file's first line, or the
// default map path when it is missing or empty. A missing settings file is created
// holding the default map path.
std::string ReadSettings();

}  // namespace mw
