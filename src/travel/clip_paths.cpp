#include "travel/clip_paths.h"

#include <filesystem>
#include <set>
#include <system_error>

#include "map/safe_file.h"

namespace fs = std::filesystem;

namespace mw {

bool NamesNoClipFile(const std::string& text) {
  return text.empty() || text == "0";
}

std::string ClipFileOf(const std::string& text, const std::string& baseFolder) {
  if (text.empty() || text.front() == '/' || baseFolder.empty()) return text;
  return baseFolder.back() == '/' ? baseFolder + text : baseFolder + "/" + text;
}

std::vector<std::string> DistinctClipTexts(const ClipMap& map) {
  std::vector<std::string> texts;
  std::set<std::string, std::less<>> seen;
  const auto add = [&](const MarkText& text) {
    std::string clip = text.str();
    if (NamesNoClipFile(clip) || seen.contains(clip)) return;
    seen.insert(clip);
    texts.push_back(std::move(clip));
  };
  for (const ClickerMark& mark : map) {
    add(mark.Clip);
    add(mark.NextClip);
  }
  return texts;
}

std::vector<std::string> MissingClipTexts(const ClipMap& map, const std::string& baseFolder) {
  std::vector<std::string> missing;
  for (std::string& text : DistinctClipTexts(map)) {
    if (NothingAt(ClipFileOf(text, baseFolder))) missing.push_back(std::move(text));
  }
  return missing;
}

std::size_t ApplyClipRenames(ClipMap& map, const ClipRenames& renames) {
  std::size_t changed = 0;
  for (std::size_t k = 0; k < map.Count(); ++k) {
    ClickerMark& mark = map.MutableAt(k);
    bool touched = false;
    for (MarkText* text : {&mark.Clip, &mark.NextClip}) {
      const auto found = renames.find(std::string_view(*text));
      if (found == renames.end()) continue;
      *text = found->second;
      touched = true;
    }
    changed += touched ? 1 : 0;
  }
  return changed;
}

std::string FolderOfMap(const std::string& mapPath) {
  std::error_code error;
  const fs::path full = fs::absolute(mapPath, error).lexically_normal();
  std::string folder = full.parent_path().string();
  return folder.empty() ? std::string("/") : folder;
}

}  // namespace mw
