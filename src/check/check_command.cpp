#include "check/check_command.h"

#include <cerrno>
#include <cstring>

#include "check/map_check.h"
#include "packer/printable_text.h"

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

namespace {

// Prints the problems one a line, the map's own texts made safe for a terminal. False
// when the list could not be written whole.
bool PrintProblems(const std::vector<MapProblem>& problems, std::FILE* out) {
  for (const MapProblem& problem : problems) {
    const std::string line = packer::Printable(FormatProblem(problem)) + "\n";
    if (std::fwrite(line.data(), 1, line.size(), out) != line.size()) break;
  }
  return std::fflush(out) == 0 && !std::ferror(out);
}

}  // namespace

int RunCheckCommand(const std::string& mapPath, std::FILE* out) {
  const MapFileContent content = ReadMapFile(mapPath);
  if (content.status != MapReadStatus::Loaded) {
    const std::string line = packer::Printable(MapReadFailureLine(mapPath, content.status));
    std::fprintf(stderr, "%s\n", line.c_str());
    return kCheckMapUnreadable;
  }
  const std::vector<MapProblem> problems = CheckMap(content.marks, mapPath);
  if (!PrintProblems(problems, out)) {
    std::fprintf(stderr, "markweaver: the list of problems could not be written: %s\n",
                 std::strerror(errno));
    return kCheckListUnwritten;
  }
  return problems.empty() ? kCheckFoundNothing : kCheckFoundProblems;
}

}  // namespace mw
