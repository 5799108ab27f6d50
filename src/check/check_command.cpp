#include "check/check_command.h"

#include "check/map_check.h"

namespace mw {

std::string MapReadFailureLine(const std::string& mapPath, MapReadStatus status) {
  switch (status) {
    case MapReadStatus::Loaded:
      return {};
    case MapReadStatus::OpenFailed:
      return "Map cannot be read: " + mapPath;
    case MapReadStatus::InvalidHeader:
      return "Not a map file: " + mapPath;
    case MapReadStatus::BadSizeLine:
      return "Map file damaged: " + mapPath;
  }
  return "Map cannot be read: " + mapPath;
}

int RunCheckCommand(const std::string& mapPath, std::FILE* out) {
  const MapFileContent content = ReadMapFile(mapPath);
  if (content.status != MapReadStatus::Loaded) {
    std::fprintf(stderr, "%s\n", MapReadFailureLine(mapPath, content.status).c_str());
    return kCheckMapUnreadable;
  }
  const std::vector<MapProblem> problems = CheckMap(content.marks, mapPath);
  for (const MapProblem& problem : problems)
    std::fprintf(out, "%s\n", FormatProblem(problem).c_str());
  std::fflush(out);
  return problems.empty() ? kCheckFoundNothing : kCheckFoundProblems;
}

}  // namespace mw
