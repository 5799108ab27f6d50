#include "travel/travel_command.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "map/safe_file.h"
#include "packer/printable_text.h"
#include "travel/clip_paths.h"
#include "travel/gather.h"
#include "travel/relink.h"

namespace mw {

namespace {

void PrintLine(std::FILE* stream, const std::string& line) {
  const std::string printable = packer::Printable(line) + "\n";
  std::fwrite(printable.data(), 1, printable.size(), stream);
}

void PrintLines(std::FILE* stream, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) PrintLine(stream, line);
  std::fflush(stream);
}

std::string ReadFailureLine(const std::string& mapPath, MapReadStatus status) {
  switch (status) {
    case MapReadStatus::InvalidHeader:
      return "Not a map file: " + mapPath;
    case MapReadStatus::BadSizeLine:
      return "Map file damaged: " + mapPath;
    case MapReadStatus::Loaded:
    case MapReadStatus::OpenFailed:
      break;
  }
  return "Map cannot be read: " + mapPath;
}

// Reads the map or says why not.
std::optional<MapFileContent> ReadMapOrSay(const std::string& mapPath, std::FILE* err) {
  MapFileContent content = ReadMapFile(mapPath);
  if (content.status == MapReadStatus::Loaded) return content;
  PrintLine(err, ReadFailureLine(mapPath, content.status));
  return std::nullopt;
}

// Saves the changed map; false (and says so) when it could not be written.
bool SaveChangedMap(const std::string& mapPath, const MapFileContent& before, const ClipMap& after,
                    std::FILE* err) {
  const std::string failure = RewriteMapFile(mapPath, before, after);
  if (failure.empty()) return true;
  PrintLine(err, "The map was not saved: " + failure);
  std::fflush(err);
  return false;
}

}  // namespace

std::string RewriteMapFile(const std::string& path, const MapFileContent& before,
                           const ClipMap& marks) {
  if (const auto bad = FindUnstorableMark(marks.Marks()))
    return "mark " + std::to_string(*bad + 1) + " holds a line break";
  std::string text = FormatMap(before.windowSize.value_or(WindowSize{}), marks.Marks());
  if (!before.windowSize) {
    // A map without size lines stays one: the header alone, then the marks.
    std::size_t end = 0;
    for (int line = 0; line < 3; ++line) end = text.find('\n', end) + 1;
    text.replace(0, end, std::string(kMapHeader) + "\r\n");
  }
  const WriteOutcome written = ReplaceFileContent(path, text);
  return written.ok ? std::string() : written.reason.empty() ? written.error : written.reason;
}

int RunRelinkCommand(const std::string& mapPath, const std::optional<std::string>& searchFolder,
                     std::FILE* out, std::FILE* err) {
  std::optional<MapFileContent> content = ReadMapOrSay(mapPath, err);
  if (!content) return kTravelCannotStart;
  const std::string mapFolder = FolderOfMap(mapPath);
  const std::string folder = searchFolder.value_or(mapFolder);
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) {
    PrintLine(err, "Folder not found: " + folder);
    return kTravelCannotStart;
  }
  const RelinkPlan plan = PlanRelink(content->marks, mapFolder, folder);
  ClipMap relinked = content->marks;
  if (ApplyClipRenames(relinked, plan.renames) > 0 &&
      !SaveChangedMap(mapPath, *content, relinked, err)) {
    return kTravelSomethingMissing;
  }
  PrintLines(out, RelinkReportLines(plan));
  return plan.Complete() ? kTravelNothingMissing : kTravelSomethingMissing;
}

int RunGatherCommand(const std::string& mapPath, std::FILE* out, std::FILE* err) {
  std::optional<MapFileContent> content = ReadMapOrSay(mapPath, err);
  if (!content) return kTravelCannotStart;
  const GatherOutcome outcome = GatherClips(content->marks, mapPath, FolderOfMap(mapPath));
  if (outcome.failed) {
    PrintLines(err, GatherReportLines(outcome));
    return kTravelSomethingMissing;
  }
  ClipMap gathered = content->marks;
  if (ApplyClipRenames(gathered, outcome.renames) > 0 &&
      !SaveChangedMap(mapPath, *content, gathered, err)) {
    return kTravelSomethingMissing;
  }
  PrintLines(out, GatherReportLines(outcome));
  return outcome.missing.empty() ? kTravelNothingMissing : kTravelSomethingMissing;
}

}  // namespace mw
