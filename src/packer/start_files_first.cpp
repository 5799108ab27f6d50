#include "packer/start_files_first.h"

#include <algorithm>

#include "map/map_file.h"
#include "map/package_data_file.h"
#include "packer/program_folder.h"
#include "packer/runtime_parts.h"

namespace mw::packer {
namespace {

// The bare name of the data file's start clip, as the player looks it up; empty when the
// data file cannot be read or has no mark.
std::string StartClipName(const std::vector<SourceFile>& files, const std::string& data_file) {
  const auto data = std::find_if(files.begin(), files.end(),
                                 [&](const SourceFile& f) { return f.name == data_file; });
  if (data == files.end()) return "";
  const MapFileContent map = ReadMapFile(JoinPath(data->folder, data->name));
  if (map.status != MapReadStatus::Loaded || map.marks.Empty()) return "";
  const std::string clip = map.marks.First().Clip.str();
  return clip.substr(clip.rfind('/') + 1);  // npos + 1 is the whole name
}

}  // namespace

void PutStartFilesFirst(std::vector<SourceFile>& files, const std::string& program,
                        const std::string& start_picture) {
  const std::string data_file = DataFileOfProgram(program);
  const std::vector<std::string> first = {program, start_picture,
                                          StartClipName(files, data_file), data_file};
  auto rank = [&](const SourceFile& file) {
    const auto at = std::find(first.begin(), first.end(), file.name);
    return at == first.end() || file.name.empty() ? first.size() : at - first.begin();
  };
  std::stable_sort(files.begin(), files.end(), [&](const SourceFile& a, const SourceFile& b) {
    return rank(a) < rank(b);
  });
}

}  // namespace mw::packer
