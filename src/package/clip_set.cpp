#include "package/clip_set.h"

#include <algorithm>
#include <set>

#include "media/start_picture.h"
#include "package/package_names.h"

namespace mw {

namespace {

// "hall.jpg" and 2 give "hall-2.jpg"; a name without an extension gets the number at
// its end, and a leading dot does not start an extension.
std::string NumberedName(const std::string& name, int number) {
  std::size_t dot = name.rfind('.');
  std::string suffix = "-" + std::to_string(number);
  if (dot == std::string::npos || dot == 0) return name + suffix;
  return name.substr(0, dot) + suffix + name.substr(dot);
}

// The first numbered form of `bare` that no entry holds or keeps.
std::string FreeName(const std::string& bare, const std::set<std::string>& reserved,
                     const std::set<std::string>& taken) {
  for (int number = 2;; ++number) {
    std::string name = NumberedName(bare, number);
    if (reserved.count(name) == 0 && taken.count(name) == 0) return name;
  }
}

}  // namespace

bool ClipTextLess(std::string_view a, std::string_view b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
  });
}

ClipSet::ClipSet(std::vector<std::string> texts) {
  std::sort(texts.begin(), texts.end(), ClipTextLess);
  texts.erase(std::unique(texts.begin(), texts.end()), texts.end());
  entries_.reserve(texts.size());
  for (auto& text : texts) {
    ClipEntry entry;
    entry.skipped = IsSkippedClip(text);
    entry.path = std::move(text);
    entries_.push_back(std::move(entry));
  }
  AssignPackageNames();
}

ClipSet ClipSet::FromMap(const ClipMap& map) {
  std::vector<std::string> texts;
  texts.reserve(map.Count() * 2);
  for (const ClickerMark& mark : map) {
    texts.push_back(mark.Clip.str());
    texts.push_back(mark.NextClip.str());
  }
  return ClipSet(std::move(texts));
}

void ClipSet::AssignPackageNames() {
  const std::set<std::string> ownFiles = {std::string(kPlayerFileName),
                                          std::string(kRunnerBaseName),
                                          StartPictureName(kRunnerBaseName)};
  // A new name must not take the bare name of a later entry: that one keeps it.
  std::set<std::string> reserved = ownFiles;
  for (const ClipEntry& entry : entries_) {
    if (!entry.skipped) reserved.insert(BareFileName(entry.path));
  }
  std::set<std::string> taken = ownFiles;
  for (ClipEntry& entry : entries_) {
    if (entry.skipped) {
      entry.packageName = entry.path;
      continue;
    }
    std::string bare = BareFileName(entry.path);
    entry.packageName = taken.count(bare) == 0 ? bare : FreeName(bare, reserved, taken);
    taken.insert(entry.packageName);
  }
}

std::string ClipSet::PackageNameOf(std::string_view text) const {
  auto found = std::lower_bound(
      entries_.begin(), entries_.end(), text,
      [](const ClipEntry& entry, std::string_view t) { return ClipTextLess(entry.path, t); });
  if (found != entries_.end() && found->path == text) return found->packageName;
  return BareFileName(text);
}

}  // namespace mw
