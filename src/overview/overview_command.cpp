#include "overview/overview_command.h"

#include <cstdio>

#include "check/check_command.h"
#include "map/map_file.h"
#include "overview/overview_picture.h"

namespace mw {

int RunOverviewCommand(const std::string& mapPath, const std::string& outputPath) {
  if (!IsOverviewFileName(outputPath)) {
    std::fprintf(stderr, "markweaver: the output file must end in .png or .svg: %s\n",
                 outputPath.c_str());
    return kOverviewUsageError;
  }
  const MapFileContent content = ReadMapFile(mapPath);
  if (content.status != MapReadStatus::Loaded) {
    std::fprintf(stderr, "%s\n", MapReadFailureLine(mapPath, content.status).c_str());
    return kCheckMapUnreadable;
  }
  const std::string error = WriteOverviewFile(content.marks, outputPath);
  if (!error.empty()) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  return 0;
}

}  // namespace mw
