#include "webexport/export_record.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string_view>
#include <system_error>

#include "webexport/export_target.h"
#include "webexport/output_file.h"

namespace fs = std::filesystem;

namespace mw {

namespace {

constexpr std::string_view kRecordHeader = "MarkWeaver web export";

// The names an export without a record made at its top; its clips folder holds clips only.
constexpr const char* kUnrecordedClipsFolder = "clips/";
const std::set<std::string>& UnrecordedTop() {
  static const std::set<std::string> names{"index.html", "player.js", "player.css",
                                           kUnrecordedClipsFolder};
  return names;
}

bool IsDesktopLitter(const std::string& name) {
  return name == ".DS_Store" || name == "Thumbs.db" || name == "desktop.ini" ||
         name == ".directory";
}

// Calls `visit` for every entry under `root` (relative path, folders ending in "/"); `visit`
// says whether to look inside a folder. A folder that cannot be read is given with its error.
template <typename Visit>
void Walk(const fs::path& root, const std::string& prefix, Visit&& visit) {
  std::error_code error;
  fs::directory_iterator entries(root / prefix, error);
  if (error) {
    visit(prefix.empty() ? std::string("./") : prefix, true, true);
    return;
  }
  for (const fs::directory_entry& entry : entries) {
    const bool folder = entry.symlink_status(error).type() == fs::file_type::directory;
    const std::string relative = prefix + entry.path().filename().string() + (folder ? "/" : "");
    if (visit(relative, folder, false) && folder) Walk(root, relative, visit);
  }
}

// The entries the marker in `folder` records; nullopt for a marker that records none.
std::optional<std::set<std::string>> RecordedEntries(const std::string& folder) {
  std::ifstream in(folder + "/" + kExportMarkerName, std::ios::binary);
  std::string line;
  std::getline(in, line);
  std::set<std::string> recorded;
  while (std::getline(in, line))
    if (!line.empty()) recorded.insert(line);
  if (recorded.empty()) return std::nullopt;
  return recorded;
}

// Whether an export without a record made the entry.
bool MadeWithoutRecord(const std::string& relative, bool folder) {
  if (UnrecordedTop().count(relative) != 0) return true;
  const std::string_view clips = kUnrecordedClipsFolder;
  return !folder && relative.starts_with(clips) &&
         relative.find('/', clips.size()) == std::string::npos;
}

}  // namespace

std::string WriteExportRecord(const std::string& folder) {
  std::vector<std::string> entries;
  Walk(folder, "", [&](const std::string& relative, bool, bool) {
    entries.push_back(relative);
    return true;
  });
  std::sort(entries.begin(), entries.end());
  std::string text(kRecordHeader);
  text += "\n";
  for (const std::string& entry : entries) text += entry + "\n";
  return WriteNewFile(folder + "/" + kExportMarkerName, text);
}

std::vector<std::string> EntriesNotMadeByExport(const std::string& folder) {
  const std::optional<std::set<std::string>> recorded = RecordedEntries(folder);
  std::vector<std::string> added;
  Walk(folder, "", [&](const std::string& relative, bool isFolder, bool unreadable) {
    const std::string name =
        fs::path(relative.substr(0, relative.size() - (isFolder ? 1 : 0))).filename().string();
    if (relative == kExportMarkerName || IsDesktopLitter(name)) return false;
    const bool made = !unreadable && (recorded ? recorded->count(relative) != 0
                                               : MadeWithoutRecord(relative, isFolder));
    if (!made) added.push_back(relative);
    return made;
  });
  std::sort(added.begin(), added.end());
  return added;
}

std::string NamedEntries(const std::vector<std::string>& entries) {
  constexpr std::size_t kNamed = 3;
  std::ostringstream text;
  const std::size_t shown = std::min(entries.size(), kNamed);
  for (std::size_t i = 0; i < shown; ++i) {
    if (i > 0) text << (i + 1 == shown && entries.size() <= kNamed ? " and " : ", ");
    text << entries[i];
  }
  if (entries.size() > kNamed) text << " and " << entries.size() - kNamed << " more";
  return text.str();
}

}  // namespace mw
