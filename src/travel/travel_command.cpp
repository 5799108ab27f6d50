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

void SayMapNotSaved(const std::string& why, std::FILE* err) {
  PrintLine(err, "The map was not saved: " + why);
  std::fflush(err);
}

// Saves the changed map; false (and says so) when it could not be written.
bool SaveChangedMap(const std::string& mapPath, const MapFileContent& before, const ClipMap& after,
                    std::FILE* err) {
  const std::string failure = RewriteMapFile(mapPath, before, after);
  if (failure.empty()) return true;
  SayMapNotSaved(failure, err);
  return false;
}

// The files the map now at `mapPath` names; false when it cannot be read.
bool FilesNamedByMapFile(const std::string& mapPath, std::vector<std::string>& files) {
  const MapFileContent now = ReadMapFile(mapPath);
  if (now.status != MapReadStatus::Loaded) return false;
  for (const std::string& text : DistinctClipTexts(now.marks))
    files.push_back(ClipFileOf(text, FolderOfMap(mapPath)));
  return true;
}

// After the gathered map could not be written: takes back the copies that the map file
// does not name (all of them, unless another program saved it meanwhile naming some),
// and says so.
int GatheredMapNotWritten(const std::string& mapPath, const GatherOutcome& outcome,
                          const std::string& why, std::FILE* err) {
  SayMapNotSaved(why, err);
  std::vector<std::string> named;
  if (FilesNamedByMapFile(mapPath, named)) {
    TakeBackCopies(outcome, named);
    PrintLine(err, "The copies that the map does not name were taken back.");
  } else if (!outcome.made.empty()) {
    PrintLine(err, "The copies stay in " + outcome.folder + ".");
  }
  std::fflush(err);
  return kTravelMapNotWritten;
}

// Writes the gathered map unless its file changed since `bytesAtStart` were read from
// it; empty on success, else why it was not written.
std::string WriteGatheredMap(const std::string& mapPath, const std::string& bytesAtStart,
                             const MapFileContent& before, const ClipMap& after) {
  std::string bytesNow;
  if (!ReadWholeFile(mapPath, bytesNow) || bytesNow != bytesAtStart)
    return "it was changed by another program while the clips were copied";
  return RewriteMapFile(mapPath, before, after);
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
    return kTravelMapNotWritten;
  }
  PrintLines(out, RelinkReportLines(plan));
  return plan.Complete() ? kTravelNothingMissing : kTravelSomethingMissing;
}

int RunGatherCommand(const std::string& mapPath, std::FILE* out, std::FILE* err) {
  // Read before the map itself, so a change in between is taken for a change.
  std::string bytesAtStart;
  ReadWholeFile(mapPath, bytesAtStart);
  std::optional<MapFileContent> content = ReadMapOrSay(mapPath, err);
  if (!content) return kTravelCannotStart;
  const GatherOutcome outcome = GatherClips(content->marks, mapPath, FolderOfMap(mapPath));
  if (outcome.failed) {
    PrintLines(err, GatherReportLines(outcome));
    return kTravelSomethingMissing;
  }
  ClipMap gathered = content->marks;
  if (ApplyClipRenames(gathered, outcome.renames) > 0) {
    const std::string failure = WriteGatheredMap(mapPath, bytesAtStart, *content, gathered);
    if (!failure.empty()) return GatheredMapNotWritten(mapPath, outcome, failure, err);
  }
  PrintLines(out, GatherReportLines(outcome));
  return outcome.missing.empty() ? kTravelNothingMissing : kTravelSomethingMissing;
}

}  // namespace mw
