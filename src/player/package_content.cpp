#include "player/package_content.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace mw {
namespace {

namespace fs = std::filesystem;

// A map holds nine short lines per mark; anything this large is not one.
constexpr std::uintmax_t kLargestDataFile = 64u << 20;
constexpr WindowSize kSmallestWindow{200, 150};
constexpr WindowSize kLargestWindow{8192, 8192};

PackageProblem ProblemOfRead(const MapFileContent& content) {
  switch (content.status) {
    case MapReadStatus::Loaded:
      return content.marks.Empty() ? PackageProblem::NoMarks : PackageProblem::Usable;
    case MapReadStatus::OpenFailed:
      return PackageProblem::DataFileUnreadable;
    case MapReadStatus::InvalidHeader:
    case MapReadStatus::BadSizeLine:
      break;
  }
  return PackageProblem::DataFileDamaged;
}

}  // namespace

PackageContent ReadPackageContent(const std::string& folder, const std::string& dataFileName) {
  PackageContent result;
  result.windowSize = kDefaultWindowSize;
  const fs::path path = fs::path(folder) / dataFileName;
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (!fs::exists(status)) {
    result.problem = PackageProblem::DataFileMissing;
    return result;
  }
  if (!fs::is_regular_file(status)) {
    result.problem = PackageProblem::DataFileUnreadable;
    return result;
  }
  if (fs::file_size(path, error) > kLargestDataFile || error) {
    result.problem = PackageProblem::DataFileDamaged;
    return result;
  }
  MapFileContent content = ReadMapFile(path.string());
  result.problem = ProblemOfRead(content);
  if (content.status != MapReadStatus::Loaded) return result;
  result.map = std::move(content.marks);
  result.windowSize = UsableWindowSize(content.windowSize);
  return result;
}

std::string PackageProblemText(PackageProblem problem, const std::string& dataFileName) {
  const std::string name = "\"" + dataFileName + "\"";
  switch (problem) {
    case PackageProblem::Usable:
      return "";
    case PackageProblem::DataFileMissing:
      return "This package cannot be played: its map file " + name + " is missing.";
    case PackageProblem::DataFileUnreadable:
      return "This package cannot be played: its map file " + name + " cannot be read.";
    case PackageProblem::DataFileDamaged:
      return "This package cannot be played: its map file " + name + " is damaged.";
    case PackageProblem::NoMarks:
      return "This package holds no clips to play.";
  }
  return "";
}

std::string ClipFilePath(const std::string& folder, const std::string& clipName) {
  const std::size_t slash = clipName.rfind('/');
  const std::string bare = slash == std::string::npos ? clipName : clipName.substr(slash + 1);
  if (bare.empty()) return "";
  return (fs::path(folder) / bare).string();
}

WindowSize UsableWindowSize(const std::optional<WindowSize>& wanted) {
  if (!wanted) return kDefaultWindowSize;
  return {std::clamp(wanted->width, kSmallestWindow.width, kLargestWindow.width),
          std::clamp(wanted->height, kSmallestWindow.height, kLargestWindow.height)};
}

WindowSize FitWithin(WindowSize size, WindowSize bounds) {
  if (bounds.width <= 0 || bounds.height <= 0 || size.width <= 0 || size.height <= 0 ||
      (size.width <= bounds.width && size.height <= bounds.height))
    return size;
  const double scale = std::min(static_cast<double>(bounds.width) / size.width,
                                static_cast<double>(bounds.height) / size.height);
  return {std::max(1, static_cast<int>(size.width * scale)),
          std::max(1, static_cast<int>(size.height * scale))};
}

}  // namespace mw
