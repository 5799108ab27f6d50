#include "package/package_map.h"

namespace mw {

std::vector<ClickerMark> BuildPackageMap(const ClipMap& map, const ClipSet& clips) {
  std::vector<ClickerMark> packageMap;
  packageMap.reserve(map.Count());
  for (const ClickerMark& mark : map) {
    ClickerMark copy = mark;
    copy.Clip = clips.PackageNameOf(mark.Clip);
    copy.NextClip = clips.PackageNameOf(mark.NextClip);
    packageMap.push_back(std::move(copy));
  }
  return packageMap;
}

MapWriteOutcome WritePackageDataFile(const std::string& path, WindowSize windowSize,
                                     const std::vector<ClickerMark>& packageMap) {
  return WriteMapFile(path, windowSize, packageMap);
}

}  // namespace mw
