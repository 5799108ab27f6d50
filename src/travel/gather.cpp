#include "travel/gather.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "map/map_file.h"
#include "map/safe_file.h"
#include "travel/clip_finder.h"
#include "travel/safe_copy.h"

namespace fs = std::filesystem;

namespace mw {

namespace {

// Most names tried for one clip before the gather gives up on it.
constexpr int kMostSuffixes = 10000;

// "hall.jpg" with suffix 2 is "hall-2.jpg"; suffix 1 is the name itself.
std::string NameWithSuffix(const std::string& name, int suffix) {
  if (suffix == 1) return name;
  const std::size_t dot = name.rfind('.');
  const bool hasExtension = dot != std::string::npos && dot > 0;
  const std::string stem = hasExtension ? name.substr(0, dot) : name;
  const std::string extension = hasExtension ? name.substr(dot) : std::string();
  return stem + "-" + std::to_string(suffix) + extension;
}

std::string CanonicalOrEmpty(const std::string& path) {
  std::error_code error;
  const fs::path canonical = fs::weakly_canonical(path, error);
  return error ? std::string() : canonical.string();
}

// The map file itself when `mapPath` is a link to it (from the desktop, say): its clips
// belong in the folder that travels with the file, not beside the link.
std::string MapFileBehindLink(const std::string& mapPath) {
  if (!IsSymbolicLink(mapPath)) return mapPath;
  std::error_code error;
  const fs::path real = fs::canonical(mapPath, error);
  return error ? mapPath : real.string();
}

// Copies the clips one by one and takes every copy back when one fails.
class Gatherer {
 public:
  Gatherer(const std::string& mapPath, const std::string& baseFolder)
      : baseFolder_(baseFolder),
        mapFolder_(CanonicalOrEmpty(FolderOfMap(MapFileBehindLink(mapPath)))) {
    outcome_.folder = GatherFolderFor(mapPath);
  }

  GatherOutcome Run(const ClipMap& map) {
    RemoveLeftoverCopies(outcome_.folder);
    for (const std::string& text : DistinctClipTexts(map)) {
      const std::string source = ClipFileOf(text, baseFolder_);
      if (NothingAt(source)) {
        outcome_.missing.push_back(text);
      } else if (!InsideMapFolder(source) && !Gather(text, source)) {
        TakeBack();
        return std::move(outcome_);
      }
    }
    return std::move(outcome_);
  }

 private:
  bool InsideMapFolder(const std::string& source) const {
    const std::string canonical = CanonicalOrEmpty(source);
    if (mapFolder_.empty() || canonical.empty()) return false;
    const std::string prefix = mapFolder_ == "/" ? mapFolder_ : mapFolder_ + "/";
    return canonical.compare(0, prefix.size(), prefix) == 0;
  }

  bool Fail(const std::string& text, const std::string& why) {
    outcome_.failed = true;
    outcome_.failure = "Cannot gather " + text + ": " + why;
    return false;
  }

  bool MakeFolder(const std::string& text) {
    std::error_code error;
    if (fs::is_directory(outcome_.folder, error)) return true;
    if (!fs::create_directory(outcome_.folder, error) || error)
      return Fail(text, "cannot make the folder " + outcome_.folder + ": " + error.message());
    outcome_.folderMade = true;
    return true;
  }

  bool Gather(const std::string& text, const std::string& source) {
    if (!MakeFolder(text)) return false;
    const std::string name = fs::path(source).filename().string();
    for (int suffix = 1; suffix <= kMostSuffixes; ++suffix) {
      const std::string target = outcome_.folder + "/" + NameWithSuffix(name, suffix);
      if (!FitsOnMapLine(target)) return Fail(text, "its new path cannot be kept in a map");
      if (!NothingAt(target)) {
        if (SameFileContent(source, target)) return Record(text, target);
        continue;
      }
      std::string reason;
      switch (CopyToNewFile(source, target, reason)) {
        case CopyResult::Copied:
          outcome_.made.push_back(target);
          return Record(text, target);
        case CopyResult::TargetExists:
          if (SameFileContent(source, target)) return Record(text, target);
          continue;
        case CopyResult::Failed:
          return Fail(text, reason);
      }
    }
    return Fail(text, "no free name in " + outcome_.folder);
  }

  bool Record(const std::string& text, const std::string& target) {
    outcome_.renames.emplace(text, target);
    outcome_.gathered.emplace_back(text, target);
    return true;
  }

  void TakeBack() {
    TakeBackCopies(outcome_, {});
    outcome_.renames.clear();
    outcome_.gathered.clear();
    outcome_.made.clear();
  }

  std::string baseFolder_;
  std::string mapFolder_;
  GatherOutcome outcome_;
};

}  // namespace

std::string GatherFolderFor(const std::string& mapPath) {
  const std::string mapFile = MapFileBehindLink(mapPath);
  const fs::path map(mapFile);
  std::string name = map.filename().string();
  const std::string extension = "." + std::string(kMapFileExtension);
  if (name.size() > extension.size() &&
      name.compare(name.size() - extension.size(), extension.size(), extension) == 0) {
    name.resize(name.size() - extension.size());
  }
  const std::string folder = FolderOfMap(mapFile);
  return (folder == "/" ? folder : folder + "/") + name + " clips";
}

GatherOutcome GatherClips(const ClipMap& map, const std::string& mapPath,
                          const std::string& baseFolder) {
  return Gatherer(mapPath, baseFolder).Run(map);
}

void TakeBackCopies(const GatherOutcome& outcome, const std::vector<std::string>& keep) {
  std::vector<std::string> kept;
  for (const std::string& path : keep) kept.push_back(CanonicalOrEmpty(path));
  std::error_code error;
  for (const std::string& copy : outcome.made) {
    if (std::find(kept.begin(), kept.end(), CanonicalOrEmpty(copy)) == kept.end())
      fs::remove(copy, error);
  }
  if (outcome.folderMade) fs::remove(outcome.folder, error);  // only when empty
}

std::vector<std::string> GatherReportLines(const GatherOutcome& outcome) {
  std::vector<std::string> lines;
  if (outcome.failed) {
    lines.push_back(outcome.failure);
    lines.push_back("Nothing was gathered; the map is unchanged.");
    return lines;
  }
  for (const auto& [clip, copy] : outcome.gathered)
    lines.push_back("Gathered: " + clip + " -> " + copy);
  for (const std::string& clip : outcome.missing) lines.push_back("Still missing: " + clip);
  return lines;
}

}  // namespace mw
