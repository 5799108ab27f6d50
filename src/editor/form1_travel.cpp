// The editor window's commands for maps that travel: finding moved clips (after Load Map
// and from the command menu) and gathering the map's clips beside it.
#include <QAction>
#include <QMenu>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "desktop/desktop.h"
#include "editor/form1.h"
#include "editor/map_history.h"
#include "travel/gather.h"
#include "travel/relink.h"

namespace mw {

namespace {

constexpr const char* kRelinkTitle = "Find Missing Clips";
constexpr const char* kGatherTitle = "Gather Clips";
constexpr const char* kUseFilesBesideMap = "Use the files found beside the map?";
// Lines of a report shown in one message box; the rest are counted.
constexpr std::size_t kReportLines = 15;

// The folder the editor reads relative clip texts from.
std::string ClipFolder() {
  std::error_code error;
  return std::filesystem::current_path(error).string();
}

std::string Plural(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// The report's first lines and a count of the rest, after `head`.
std::string ReportText(const std::string& head, const std::vector<std::string>& lines) {
  std::string text = head;
  for (std::size_t k = 0; k < lines.size() && k < kReportLines; ++k) text += "\n" + lines[k];
  if (lines.size() > kReportLines)
    text += "\n... and " + std::to_string(lines.size() - kReportLines) + " more.";
  return text;
}

}  // namespace

void TForm1::AddTravelCommands() {
  FindMissingClips1 = PopupMenu2->addAction("Find Missing Clips...");
  FindMissingClips1->setObjectName("FindMissingClips1");
  GatherClips1 = PopupMenu2->addAction("Gather Clips...");
  GatherClips1->setObjectName("GatherClips1");
  connect(FindMissingClips1, &QAction::triggered, this, &TForm1::FindMissingClipsMenuItemClick);
  connect(GatherClips1, &QAction::triggered, this, &TForm1::GatherClipsMenuItemClick);
}

std::size_t TForm1::RenameClipsInMap(const std::map<std::string, std::string, std::less<>>& renames,
                                     const char* stepText) {
  const std::string onScreen = ClipOnScreen();
  const std::size_t changed = mapHistory_->RenameClips(renames, QString::fromUtf8(stepText));
  const auto shown = renames.find(onScreen);
  if (changed > 0 && shown != renames.end()) GoToClip(shown->second);
  return changed;
}

void TForm1::OfferClipsBesideMap() {
  const std::string base = ClipFolder();
  const std::size_t missing = MissingClipTexts(clipMap_, base).size();
  if (missing == 0) return;
  const RelinkPlan plan = PlanRelink(clipMap_, base, FolderOfMap(MapFileNameText()));
  if (plan.renames.empty()) return;
  const std::string question = Plural(missing, "clip of the map is", "clips of the map are") +
                               " missing, and files that match " +
                               std::to_string(plan.renames.size()) + " of them" +
                               " were found beside the map.\n" + kUseFilesBesideMap;
  if (!AskYesNo(desktop_, question, kRelinkTitle)) return;
  RenameClipsInMap(plan.renames, kRelinkStep);
  if (!plan.Complete())
    ShowOkMessage(desktop_, ReportText("Some clips are still missing:", RelinkReportLines(plan)),
                  kRelinkTitle);
}

void TForm1::FindMissingClipsMenuItemClick() {
  const std::string base = ClipFolder();
  if (MissingClipTexts(clipMap_, base).empty()) {
    ShowOkMessage(desktop_, "No clip of the map is missing.", kRelinkTitle);
    return;
  }
  const FileDialogRequest request{"Find the missing clips in:", "", "",
                                  FolderOfMap(MapFileNameText()), false};
  const std::optional<std::string> folder = desktop_.ChooseFolder(request);
  if (!folder) return;
  const RelinkPlan plan = PlanRelink(clipMap_, base, *folder);
  const std::size_t marks = RenameClipsInMap(plan.renames, kRelinkStep);
  const std::string head = Plural(plan.renames.size(), "clip was", "clips were") + " relinked (" +
                           Plural(marks, "mark", "marks") + ").";
  ShowOkMessage(desktop_, ReportText(head, RelinkReportLines(plan)), kRelinkTitle);
}

void TForm1::GatherClipsMenuItemClick() {
  const std::string map = MapFileNameText();
  const std::string folder = GatherFolderFor(map);
  if (!AskYesNo(desktop_,
                "Copy the clips of the map into the folder\n" + folder +
                    "\nand save the map pointing at the copies?",
                kGatherTitle)) {
    return;
  }
  const GatherOutcome outcome = GatherClips(clipMap_, map, ClipFolder());
  if (outcome.failed) {
    desktop_.ShowMessage({ReportText("The clips were not gathered.", GatherReportLines(outcome)),
                          kGatherTitle, MessageButtons::Ok, MessageIcon::Warning});
    return;
  }
  RenameClipsInMap(outcome.renames, kGatherStep);
  if (!SaveMapButtonClick()) {
    // The person has been told why the save failed; the map in memory names the copies,
    // which stay, and it stays changed until it is saved.
    desktop_.ShowMessage(
        {"The clips were copied to " + folder + ", but the map still needs saving.", kGatherTitle,
         MessageButtons::Ok, MessageIcon::Warning});
    return;
  }
  const std::string head =
      Plural(outcome.gathered.size(), "clip was", "clips were") + " gathered in " + folder + ".";
  ShowOkMessage(desktop_, ReportText(head, GatherReportLines(outcome)), kGatherTitle);
}

}  // namespace mw
