#include "check/map_check.h"

#include <set>
#include <tuple>

#include "check/clip_graph.h"
#include "travel/clip_finder.h"
#include "travel/clip_paths.h"

namespace mw {

namespace {

constexpr std::size_t kQuestionListLength = 10;

std::optional<ProblemKind> KindOfFileState(FileState state) {
  switch (state) {
    case FileState::Missing:
      return ProblemKind::MissingFile;
    case FileState::Unreadable:
      return ProblemKind::UnreadableFile;
    case FileState::NotAClip:
      return ProblemKind::NotAClip;
    case FileState::BadPhoto:
      return ProblemKind::BadPhoto;
    case FileState::BadMovie:
      return ProblemKind::BadMovie;
    case FileState::Fine:
    case FileState::NoFile:
      break;
  }
  return std::nullopt;
}

MapProblem MarkProblem(ProblemKind kind, std::size_t index, const ClickerMark& mark,
                       std::string file) {
  MapProblem problem;
  problem.kind = kind;
  problem.markIndex = index;
  problem.clip = mark.Clip.str();
  problem.message = mark.Hint.str();
  problem.file = std::move(file);
  return problem;
}

// The problem of one file of a mark, if its verdict is one.
void CheckFile(const std::string& path, std::size_t index, const ClickerMark& mark,
               ClipProber& prober, std::vector<MapProblem>& out) {
  const FileVerdict& verdict = prober.Probe(path);
  const auto kind = KindOfFileState(verdict.state);
  if (!kind) return;
  out.push_back(MarkProblem(*kind, index, mark, path));
  out.back().detail = verdict.detail;
}

bool InsideClip(float fraction) {
  return fraction >= 0.0f && fraction <= 1.0f;
}

// Marks of one clip at exactly the place of an earlier one; the later mark is at fault.
class PlaceRegister {
 public:
  bool Taken(const ClickerMark& mark) {
    if (!InsideClip(mark.X) || !InsideClip(mark.Y)) return false;
    return !places_.emplace(mark.Clip.str(), mark.X, mark.Y).second;
  }

 private:
  std::set<std::tuple<std::string, float, float>> places_;
};

void CheckMarks(const ClipMap& map, ClipProber& prober, std::vector<MapProblem>& out) {
  PlaceRegister places;
  for (std::size_t index = 0; index < map.Count(); ++index) {
    const ClickerMark& mark = map.At(index);
    const std::string clip = mark.Clip.str();
    const std::string target = mark.NextClip.str();
    CheckFile(clip, index, mark, prober, out);
    if (target != clip) CheckFile(target, index, mark, prober, out);
    if (MarkOutsideClip(mark))
      out.push_back(MarkProblem(ProblemKind::OutsideClip, index, mark, clip));
    if (places.Taken(mark)) out.push_back(MarkProblem(ProblemKind::SamePlace, index, mark, clip));
  }
}

// For each missing file, the file under the map's folder that Relink would use; the
// folder is searched only when a file is missing.
void SuggestRelinks(std::vector<MapProblem>& problems, const std::string& mapPath) {
  const std::string mapFolder = FolderOfMap(mapPath);
  std::optional<ClipFinder> finder;
  for (MapProblem& problem : problems) {
    if (problem.kind != ProblemKind::MissingFile) continue;
    if (!finder) finder.emplace(mapFolder);
    ClipMatch match = finder->Find(ClipFileOf(problem.file, mapFolder));
    if (match.kind == ClipMatch::Kind::Found) problem.relinkFile = std::move(match.path);
  }
}

std::string QuoteOrNothing(const std::string& message) {
  return message.empty() ? std::string("without a message") : "\"" + message + "\"";
}

}  // namespace

bool MarkOutsideClip(const ClickerMark& mark) {
  return !InsideClip(mark.X) || !InsideClip(mark.Y);
}

const char* ProblemKindText(ProblemKind kind) {
  switch (kind) {
    case ProblemKind::MissingFile:
      return "File not found";
    case ProblemKind::UnreadableFile:
      return "File cannot be read";
    case ProblemKind::NotAClip:
      return "Not a clip file";
    case ProblemKind::BadPhoto:
      return "Photo does not read";
    case ProblemKind::BadMovie:
      return "Movie does not open";
    case ProblemKind::OutsideClip:
      return "Mark outside its clip";
    case ProblemKind::SamePlace:
      return "Two marks at the same place";
    case ProblemKind::Unreachable:
      return "Clip cannot be reached";
    case ProblemKind::NoMarks:
      return "Map has no marks";
  }
  return "";
}

std::string FormatProblem(const MapProblem& problem) {
  std::string line = std::string(ProblemKindText(problem.kind)) + ": " + problem.file;
  if (problem.markIndex) {
    line += " (mark " + std::to_string(*problem.markIndex + 1) + " on " + problem.clip + ", " +
            QuoteOrNothing(problem.message) + ")";
  }
  if (!problem.detail.empty()) line += " - " + problem.detail;
  if (!problem.relinkFile.empty()) line += " - found beside the map: " + problem.relinkFile;
  return line;
}

std::vector<MapProblem> CheckMap(const ClipMap& map, ClipProber& prober,
                                 const std::string& mapPath) {
  std::vector<MapProblem> problems;
  if (map.Empty()) {
    MapProblem none;
    none.kind = ProblemKind::NoMarks;
    none.file = mapPath;
    problems.push_back(none);
    return problems;
  }
  CheckMarks(map, prober, problems);
  if (!mapPath.empty()) SuggestRelinks(problems, mapPath);
  for (std::string& clip : UnreachableClips(map)) {
    MapProblem unreachable;
    unreachable.kind = ProblemKind::Unreachable;
    unreachable.clip = clip;
    unreachable.file = std::move(clip);
    problems.push_back(std::move(unreachable));
  }
  return problems;
}

std::vector<MapProblem> CheckMap(const ClipMap& map, const std::string& mapPath) {
  ClipProber prober(ProbeDepth::Content);
  return CheckMap(map, prober, mapPath);
}

std::vector<MapProblem> ProblemsStoppingPackage(const ClipMap& map) {
  ClipProber prober(ProbeDepth::Presence);
  std::vector<MapProblem> stoppers;
  for (MapProblem& problem : CheckMap(map, prober)) {
    if (problem.kind == ProblemKind::MissingFile || problem.kind == ProblemKind::UnreadableFile)
      stoppers.push_back(std::move(problem));
  }
  return stoppers;
}

std::vector<MapProblem> FilesThePlayerCannotShow(const ClipMap& map) {
  ClipProber prober(ProbeDepth::Content);
  std::vector<MapProblem> found;
  std::set<std::string> named;
  for (MapProblem& problem : CheckMap(map, prober)) {
    const bool notShown = problem.kind == ProblemKind::NotAClip ||
                          problem.kind == ProblemKind::BadPhoto ||
                          problem.kind == ProblemKind::BadMovie;
    if (notShown && named.insert(problem.file).second) found.push_back(std::move(problem));
  }
  return found;
}

std::string PackageQuestion(const std::vector<MapProblem>& problems) {
  return ProblemsQuestion(problems, "Make the package anyway?");
}

std::string ProblemsQuestion(const std::vector<MapProblem>& problems, const std::string& question) {
  std::string text = "The map check found " + std::to_string(problems.size()) +
                     (problems.size() == 1 ? " problem:\n" : " problems:\n");
  for (std::size_t k = 0; k < problems.size() && k < kQuestionListLength; ++k)
    text += FormatProblem(problems[k]) + "\n";
  if (problems.size() > kQuestionListLength)
    text += "... and " + std::to_string(problems.size() - kQuestionListLength) + " more.\n";
  return text + "\n" + question;
}

std::vector<std::string> UnreachableClips(const ClipMap& map) {
  const ClipGraph graph(map);
  std::vector<std::string> clips;
  const std::vector<bool> reached = graph.Reachable();
  for (std::size_t node = 0; node < graph.Clips().size(); ++node) {
    if (!reached[node]) clips.push_back(graph.Clips()[node]);
  }
  return clips;
}

}  // namespace mw
