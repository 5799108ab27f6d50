#include "travel/relink.h"

namespace mw {

namespace {

constexpr std::size_t kCandidatesNamed = 3;

std::string CandidateList(const AmbiguousClip& clip) {
  const std::size_t count = clip.candidates.size();
  std::string text = std::to_string(count) + (count == 1 ? " file: " : " files: ");
  for (std::size_t k = 0; k < clip.candidates.size() && k < kCandidatesNamed; ++k)
    text += (k > 0 ? ", " : "") + clip.candidates[k];
  if (clip.candidates.size() > kCandidatesNamed) text += ", ...";
  return text;
}

}  // namespace

RelinkPlan PlanRelink(const ClipMap& map, const std::string& baseFolder,
                      const std::string& searchFolder, SearchLimits limits) {
  RelinkPlan plan;
  const std::vector<std::string> missing = MissingClipTexts(map, baseFolder);
  if (missing.empty()) return plan;
  const ClipFinder finder(searchFolder, limits);
  plan.searchTruncated = finder.Truncated();
  for (const std::string& clip : missing) {
    ClipMatch match = finder.Find(ClipFileOf(clip, baseFolder));
    switch (match.kind) {
      case ClipMatch::Kind::Found:
        plan.renames.emplace(clip, std::move(match.path));
        plan.relinked.push_back(clip);
        break;
      case ClipMatch::Kind::Ambiguous:
        plan.ambiguous.push_back({clip, std::move(match.candidates)});
        break;
      case ClipMatch::Kind::NotFound:
        plan.notFound.push_back(clip);
        break;
    }
  }
  return plan;
}

std::vector<std::string> RelinkReportLines(const RelinkPlan& plan) {
  std::vector<std::string> lines;
  for (const std::string& clip : plan.relinked)
    lines.push_back("Relinked: " + clip + " -> " + plan.renames.at(clip));
  for (const AmbiguousClip& clip : plan.ambiguous)
    lines.push_back("Ambiguous: " + clip.clip + " (" + CandidateList(clip) + ")");
  for (const std::string& clip : plan.notFound) lines.push_back("Still missing: " + clip);
  if (plan.searchTruncated)
    lines.push_back("The search stopped early: the folder holds too many files or levels.");
  return lines;
}

}  // namespace mw
