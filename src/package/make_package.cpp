#include "package/make_package.h"

#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "media/clip_kind.h"
#include "media/start_picture.h"
#include "package/build_lock.h"
#include "package/clip_set.h"
#include "package/directive_file.h"
#include "package/file_steps.h"
#include "package/makepackage.h"
#include "package/package_map.h"
#include "package/package_names.h"
#include "package/packageresult.h"
#include "package/process_runner.h"
#include "package/workshop.h"

namespace mw {

namespace {

// Clips adding up to more than this ask before the build.
constexpr std::uint64_t kSizeQuestionLimit = 5ull * 1024 * 1024;
constexpr int kFinalPauseMs = 1000;
constexpr const char* kBuildBusyMessage =
    "A package is being made. Please try again when it is finished.";

// Puts the current directory back when the build ends, however it ends.
class CurrentDirectoryKeeper {
 public:
  CurrentDirectoryKeeper() {
    std::error_code error;
    saved_ = std::filesystem::current_path(error);
  }
  ~CurrentDirectoryKeeper() {
    std::error_code error;
    if (!saved_.empty()) std::filesystem::current_path(saved_, error);
  }
  // The folder that was current when the build began.
  const std::filesystem::path& Saved() const { return saved_; }
  CurrentDirectoryKeeper(const CurrentDirectoryKeeper&) = delete;
  CurrentDirectoryKeeper& operator=(const CurrentDirectoryKeeper&) = delete;

 private:
  std::filesystem::path saved_;
};

enum class BuildOutcome { Finished, Failed, Declined };

// One run of Make Package; the step functions follow the order of the build.
class PackagePipeline {
 public:
  explicit PackagePipeline(const PackageJob& job);
  PackageReport Run();

 private:
  bool TakeBuildFolder();
  bool AskForOptions();
  BuildOutcome GuardedSteps();
  BuildOutcome BuildSteps();
  void CollectClips();
  bool SizeAccepted() const;
  bool PrepareStagingFolder();
  bool CopyClips();
  void StageStartPicture();
  bool CopyPlayer();
  bool WriteDirectiveFile();
  bool DirectiveFileReady();
  bool RemoveOldPackage();
  void RenameToolsForRun();
  bool RunPackageBuildTool();
  bool CheckPackage();
  void ShowResult();
  void CleanUp();
  void RenameToolsBack();

  void Step(const std::string& text, int percent) { job_.progress.ReportProgress(text, percent); }
  void FailureReport();
  void WarningReport(int code, const std::string& reason = {});
  std::string InProgramFolder(const std::string& name) const { return programFolder_ + name; }
  // The file a clip text names, read from the folder the editor reads clips from.
  std::string ClipFile(const ClipEntry& entry) const;
  PackageDirective Directive() const;

  const PackageJob& job_;
  PackageReport report_;
  std::optional<BuildLock> lock_;  // held from the start of the build to its end
  // The folder the build works in: the program folder, or the workshop folder.
  std::string programFolder_;
  std::string stagingFolder_;
  std::string packagePath_;
  // The folder the editor reads relative clip texts from: current when the build began,
  // before the build moves to the program folder.
  std::string clipFolder_;
  ClipSet clips_;
  std::vector<bool> staged_;  // per clip entry: the copy step reached it
  std::vector<ClickerMark> packageMap_;
  bool extractorRenamed_ = false;  // the tool files this run renamed for the build
  bool archiverRenamed_ = false;
  std::string toolReason_;  // the build tool's last line of error output
  PathStamp oldPackage_;    // what was at the package path before the build tool ran
};

PackagePipeline::PackagePipeline(const PackageJob& job)
    : job_(job), programFolder_(BuildFolderFor(job.programFolder)) {
  stagingFolder_ = programFolder_ + kStagingFolderName;
  report_.buildFolder = programFolder_;
}

PackageReport PackagePipeline::Run() {
  if (job_.map.Empty()) {
    ShowOkMessage(job_.desktop, "Your map is empty.", "Can't");
    return report_;
  }
  CurrentDirectoryKeeper keeper;
  clipFolder_ = keeper.Saved().string();
  if (!TakeBuildFolder() || !AskForOptions()) return report_;
  packagePath_ = job_.options.PackagePath();
  report_.packagePath = packagePath_;
  if (IsToolRunPath(programFolder_, packagePath_)) {
    ShowOkMessage(job_.desktop,
                  "A package cannot be named " + BareFileName(packagePath_) + " in " +
                      programFolder_ + ": the package tools take that name while they work.",
                  "Can't");
    return report_;
  }
  job_.progress.SetStayOnTop(true);
  BuildOutcome outcome = GuardedSteps();
  if (outcome == BuildOutcome::Declined) {
    job_.progress.SetStayOnTop(false);
    job_.progress.CloseWindow();
    return report_;
  }
  if (outcome == BuildOutcome::Failed) FailureReport();
  CleanUp();
  report_.stepsRan = outcome == BuildOutcome::Finished;
  return report_;
}

// Locks the folder the build works in and, when that is the workshop, brings it up
// to date with the program folder.
bool PackagePipeline::TakeBuildFolder() {
  if (programFolder_.empty()) {
    ShowOkMessage(job_.desktop,
                  "The program folder " + job_.programFolder +
                      " cannot be written, and there is no home folder to make packages in.");
    return false;
  }
  std::error_code ignored;
  std::filesystem::create_directories(programFolder_, ignored);
  BuildLock& lock = lock_.emplace(programFolder_);
  if (lock.Busy() && job_.waitForOtherBuild) {
    Step("Waiting for another package build to finish", 0);
    lock.Wait();
  }
  if (!lock.Held()) {
    ShowOkMessage(job_.desktop,
                  lock.Busy() ? kBuildBusyMessage : "Cannot make packages in " + programFolder_,
                  "Can't");
    return false;
  }
  PutCutOffBuildToRest(programFolder_, stagingFolder_);
  if (FolderWritable(job_.programFolder)) return true;
  const WorkshopProblem problem = PrepareWorkshop(job_.programFolder, programFolder_);
  if (problem.Any()) ShowOkMessage(job_.desktop, "Cannot prepare " + problem.path, "Can't");
  return !problem.Any();
}

bool PackagePipeline::AskForOptions() {
  std::string packagesFolder = programFolder_ + kPackagesFolderName;
  job_.options.SetLocationText(packagesFolder);
  MakeFolder(packagesFolder);
  return job_.desktop.ShowModal(job_.options) == kModalOk;
}

BuildOutcome PackagePipeline::GuardedSteps() {
  try {
    return BuildSteps();
  } catch (const std::exception&) {
    return BuildOutcome::Failed;
  }
}

BuildOutcome PackagePipeline::BuildSteps() {
  Step("Collecting clips", 5);
  std::error_code error;
  std::filesystem::current_path(programFolder_, error);
  DeleteFile(InProgramFolder(kDirectiveFileName));
  CollectClips();
  if (!SizeAccepted()) return BuildOutcome::Declined;
  if (!PrepareStagingFolder() || !CopyClips()) return BuildOutcome::Failed;
  StageStartPicture();
  if (!CopyPlayer() || !WriteDirectiveFile() || !DirectiveFileReady() || !RemoveOldPackage()) {
    return BuildOutcome::Failed;
  }
  RenameToolsForRun();
  // Without a package there is nothing to locate or test run: no result window.
  if (RunPackageBuildTool() && CheckPackage()) ShowResult();
  return BuildOutcome::Finished;
}

void PackagePipeline::CollectClips() {
  clips_ = ClipSet::FromMap(job_.map);
  staged_.assign(clips_.Size(), false);
  packageMap_ = BuildPackageMap(job_.map, clips_);
}

bool PackagePipeline::SizeAccepted() const {
  std::uint64_t total = 0;
  for (const ClipEntry& entry : clips_.Entries()) {
    if (!entry.skipped) total += FileSizeOrZero(ClipFile(entry));
  }
  if (total <= kSizeQuestionLimit) return true;
  return AskYesNo(job_.desktop,
                  "The total file size of your package is likely to exceed 5 MegaBytes.\n"
                  "It may take a while to process the package. do you want to continue?",
                  "Please note");
}

bool PackagePipeline::PrepareStagingFolder() {
  Step("Preparing folder for collecting clips", 10);
  if (!FolderExists(stagingFolder_) && !MakeFolder(stagingFolder_)) return false;
  const MapWriteOutcome written = WritePackageDataFile(
      stagingFolder_ + std::string(kRunnerBaseName), job_.windowSize, packageMap_);
  if (written.status != MapWriteStatus::Written)
    ShowOkMessage(job_.desktop, MapWriteFailureMessage(written));
  return true;
}

bool PackagePipeline::CopyClips() {
  Step("Start copying clips", 1);
  if (clips_.Empty()) return false;
  const auto& entries = clips_.Entries();
  for (std::size_t k = 0; k < entries.size(); ++k) {
    if (entries[k].skipped) continue;
    const std::string& name = entries[k].packageName;
    Step("Copying " + name, static_cast<int>(k));
    staged_[k] = true;
    if (!CopyFileReplacing(ClipFile(entries[k]), stagingFolder_ + name)) return false;
    ClearAttributes(stagingFolder_ + name);
  }
  return true;
}

// A large start photo gets a small copy at the window's size, which the player paints at
// once while it decodes the photo itself. It is packed beside the player by the build
// tool. A photo that cannot be copied so gets none and plays as it always did.
void PackagePipeline::StageStartPicture() {
  const std::string picture = stagingFolder_ + StartPictureName(kRunnerBaseName);
  DeleteFile(picture);
  if (packageMap_.empty()) return;
  const std::string clip = packageMap_.front().Clip.str();
  if (IsSkippedClip(clip) || ClipKindOfPath(clip) != ClipKind::PhotoClip) return;
  const QSize window(job_.windowSize.width, job_.windowSize.height);
  if (WorthAStartPicture(stagingFolder_ + clip, window))
    WriteStartPicture(stagingFolder_ + clip, clip, window, picture);
}

bool PackagePipeline::CopyPlayer() {
  if (CopyFileReplacing(InProgramFolder(kPlayerSourceName),
                        stagingFolder_ + std::string(kPlayerFileName))) {
    return true;
  }
  ShowOkMessage(job_.desktop, "Missing runner.dll");
  return false;
}

std::string PackagePipeline::ClipFile(const ClipEntry& entry) const {
  if (entry.path.empty() || entry.path.front() == '/' || clipFolder_.empty()) return entry.path;
  return clipFolder_ + (clipFolder_.back() == '/' ? "" : "/") + entry.path;
}

PackageDirective PackagePipeline::Directive() const {
  PackageDirective directive;
  directive.packagePath = packagePath_;
  directive.userMessage = job_.options.UserMessageText();
  directive.stagingFolder = stagingFolder_;
  for (const ClipEntry& entry : clips_.Entries()) {
    if (entry.skipped) {
      directive.clipNames.emplace_back();
    } else {
      directive.clipNames.emplace_back(entry.packageName);
    }
  }
  return directive;
}

bool PackagePipeline::WriteDirectiveFile() {
  Step("Preparing package settings", 15);
  // A line break inside a text (package path, message, clip name) would add lines of
  // its own to the directive file: such a package is not made.
  const PackageDirective directive = Directive();
  if (!DirectiveTextsFit(directive)) return false;
  const std::string path = InProgramFolder(kDirectiveFileName);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const auto& entries = clips_.Entries();
  for (std::size_t k = 0; k < entries.size(); ++k) {
    if (!entries[k].skipped)
      Step("Pre-packaging " + entries[k].packageName, 15 + static_cast<int>(k));
  }
  const std::string text = FormatDirectiveFile(directive);
  bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  written = (std::fclose(file) == 0) && written;
  return written;
}

bool PackagePipeline::DirectiveFileReady() {
  Step("Preparing package file...", 50);
  return PathExists(InProgramFolder(kDirectiveFileName));
}

// The old package stays where it is until the new one replaces it, so a build that fails
// loses nothing; this step only makes sure that it can be replaced.
bool PackagePipeline::RemoveOldPackage() {
  Step("Removing old files", 52);
  oldPackage_ = PathStampOf(packagePath_);
  return CanBeReplaced(packagePath_);
}

void PackagePipeline::RenameToolsForRun() {
  Step("Checking libraries...", 55);
  if (!PathExists(InProgramFolder(kExtractorRestName))) WarningReport(101);
  extractorRenamed_ =
      RenameFile(InProgramFolder(kExtractorRestName), InProgramFolder(kExtractorRunName));
  if (!extractorRenamed_) WarningReport(102);
  if (!PathExists(InProgramFolder(kArchiverRestName))) WarningReport(103);
  archiverRenamed_ =
      RenameFile(InProgramFolder(kArchiverRestName), InProgramFolder(kArchiverRunName));
  if (!archiverRenamed_) WarningReport(104);
}

bool PackagePipeline::RunPackageBuildTool() {
  Step("Making package...", 60);
  report_.toolExitCode = RunProgramAndWait(
      InProgramFolder(kPackageBuildToolName), {"/N", "/Q", kDirectiveFileName}, programFolder_,
      [this] { job_.progress.KeepPainted(); }, &toolReason_);
  report_.toolReason = toolReason_;
  if (report_.toolExitCode != kNotStarted) return true;
  WarningReport(105);
  return false;
}

bool PackagePipeline::CheckPackage() {
  Step("Checking package...", 75);
  // The old package, still there untouched, is no new package.
  if (PathExists(packagePath_) && PathStampOf(packagePath_) != oldPackage_) return true;
  WarningReport(106, toolReason_);
  return false;
}

void PackagePipeline::ShowResult() {
  Step("Finalizing...", 100);
  job_.desktop.Pause(kFinalPauseMs);
  job_.result.SetPackage(job_.options.PackageNameText(), packagePath_);
  job_.desktop.ShowModal(job_.result);
}

void PackagePipeline::CleanUp() {
  const auto& entries = clips_.Entries();
  for (std::size_t k = 0; k < entries.size(); ++k) {
    if (!staged_[k]) continue;
    ClearAttributes(stagingFolder_ + entries[k].packageName);
    DeleteFile(stagingFolder_ + entries[k].packageName);
  }
  DeleteFile(stagingFolder_ + std::string(kPlayerFileName));
  DeleteFile(stagingFolder_ + std::string(kRunnerBaseName));
  DeleteFile(stagingFolder_ + StartPictureName(kRunnerBaseName));
  std::error_code error;
  std::filesystem::remove(stagingFolder_, error);  // only when empty
  RenameToolsBack();
  DeleteFile(InProgramFolder(kDirectiveFileName));
  job_.progress.SetStayOnTop(false);
  job_.progress.CloseWindow();
}

// Only what RenameToolsForRun renamed goes back, so a build that failed earlier
// warns of nothing here.
void PackagePipeline::RenameToolsBack() {
  if (extractorRenamed_ &&
      !RenameFile(InProgramFolder(kExtractorRunName), InProgramFolder(kExtractorRestName))) {
    WarningReport(107);
  }
  if (archiverRenamed_ &&
      !RenameFile(InProgramFolder(kArchiverRunName), InProgramFolder(kArchiverRestName))) {
    WarningReport(108);
  }
}

void PackagePipeline::FailureReport() {
  ShowOkMessage(job_.desktop, "Failed " + job_.progress.LastStepText() +
                                  "(progress=" + std::to_string(job_.progress.GaugeValue()) + ").");
}

void PackagePipeline::WarningReport(int code, const std::string& reason) {
  report_.warnings.push_back(code);
  const char* head = code >= 107 ? "Warning:Failed" : "Warning:Failed ";
  std::string text = head + job_.progress.LastStepText() + "(error=" + std::to_string(code) + ").";
  if (!reason.empty()) text += "\n" + reason;
  ShowOkMessage(job_.desktop, text);
}

}  // namespace

PackageReport MakePackageButtonClick(const PackageJob& job) {
  return PackagePipeline(job).Run();
}

}  // namespace mw
