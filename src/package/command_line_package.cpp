#include "package/command_line_package.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "desktop/answering_desktop.h"
#include "map/map_file.h"
#include "map/safe_file.h"
#include "map/map_read_failure.h"
#include "package/clip_set.h"
#include "package/file_steps.h"
#include "package/make_package.h"
#include "package/makepackage.h"
#include "package/package_names.h"
#include "package/packageresult.h"
#include "package/stream_progress.h"

namespace fs = std::filesystem;

namespace mw {

namespace {

constexpr const char* kLogPrefix = "markweaver: ";
constexpr const char* kPackageExtension = ".exe";
// The editor's start size, for a map without size lines.
constexpr WindowSize kStartWindowSize{610, 545};

// The trailer at a package's end: magic, then the archive's offset and size and the
// launch line's size, then the hashes of archive and launch line, each 8 bytes little
// endian (written by the package build tool).
constexpr std::size_t kTrailerSize = 48;
constexpr char kTrailerMagic[] = "MWPKG\x02\r\n";

std::uint64_t LittleEndian64(const unsigned char* bytes) {
  std::uint64_t value = 0;
  for (int k = 7; k >= 0; --k) value = (value << 8) | bytes[k];
  return value;
}

std::string Absolute(const std::string& path) {
  std::error_code error;
  return fs::absolute(path, error).lexically_normal().string();
}

// The first clip of the map that a build could not copy; empty when every clip reads.
std::string UnreadableClip(const ClipMap& map) {
  const ClipSet clips = ClipSet::FromMap(map);
  for (const ClipEntry& entry : clips.Entries()) {
    if (entry.skipped) continue;
    std::error_code error;
    if (!fs::is_regular_file(entry.path, error) || ::access(entry.path.c_str(), R_OK) != 0)
      return entry.path;
  }
  return {};
}

// The program at fault behind a warning code of the build.
std::string ReasonForWarning(int code) {
  switch (code) {
    case 101:
      return std::string(kExtractorRestName) + " is missing";
    case 102:
      return std::string("cannot rename ") + kExtractorRestName + " to " + kExtractorRunName;
    case 103:
      return std::string(kArchiverRestName) + " is missing";
    case 104:
      return std::string("cannot rename ") + kArchiverRestName + " to " + kArchiverRunName;
    case 105:
      return std::string(kPackageBuildToolName) + " could not be started";
    case 106:
      return std::string(kPackageBuildToolName) + " made no package";
    case 107:
      return std::string("cannot rename ") + kExtractorRunName + " back to " + kExtractorRestName;
    case 108:
      return std::string("cannot rename ") + kArchiverRunName + " back to " + kArchiverRestName;
    default:
      return "warning " + std::to_string(code);
  }
}

// Why the build did not give a complete package; empty when it did.
std::string ReasonForBuild(const PackageReport& report, const AnsweringDesktop& desktop) {
  if (!report.warnings.empty()) {
    std::string reason = ReasonForWarning(report.warnings.front());
    if (report.warnings.front() == 106 && !report.toolReason.empty())
      reason += " (" + report.toolReason + ")";
    return reason;
  }
  if (!report.stepsRan) {
    return desktop.LastMessage().empty() ? "the build stopped" : desktop.LastMessage();
  }
  if (report.toolExitCode != 0) {
    return std::string(kPackageBuildToolName) + " failed with exit code " +
           std::to_string(report.toolExitCode);
  }
  if (!IsCompletePackage(report.packagePath))
    return std::string(kPackageBuildToolName) + " left an incomplete package";
  return {};
}

// Checks what can be known before the build; the reason when the build cannot start.
std::string ReasonBeforeBuild(const std::string& output, const MapFileContent& content,
                              const std::string& mapPath) {
  if (std::string reason = MapReadFailureText(mapPath, content); !reason.empty()) return reason;
  const std::size_t extension = std::strlen(kPackageExtension);
  if (BareFileName(output).size() <= extension ||
      output.compare(output.size() - extension, extension, kPackageExtension) != 0) {
    return "the package file " + output + " must have a name ending in " + kPackageExtension;
  }
  if (!FolderExists(FolderPart(output))) return "there is no folder " + FolderPart(output);
  // Whoever can make a link in the folder would choose which file the package replaces.
  if (IsSymbolicLink(output)) return "the package file " + output + " is a symbolic link";
  return {};
}

// The reason a clip stops the package, read from the map's folder as the editor reads it.
std::string ReasonInClips(const CommandLinePackageRequest& request, const ClipMap& marks) {
  if (request.clipProblem) return request.clipProblem(marks);
  if (std::string clip = UnreadableClip(marks); !clip.empty()) return "cannot read the clip " + clip;
  return {};
}

// Fills in the options dialog as the person would and starts the build; the result
// window is closed at once. `options` is set once the dialog exists, after the
// desktop it is made with.
AnsweringDesktop::ModalHandler AnswerDialogs(TMakePackageForm* const& options,
                                             const std::string& message,
                                             const std::string& output) {
  return [&options, message, output](QDialog& dialog) {
    if (options == nullptr || &dialog != options) return kModalCancel;
    options->SetLocationText(FolderPart(output));
    const std::string name = BareFileName(output);
    options->SetPackageNameText(name.substr(0, name.size() - std::strlen(kPackageExtension)));
    options->SetUserMessageText(message);
    return kModalOk;
  };
}

// Ends a run that made no package. What the build left at `output` is removed, unless it
// is still the file that was there before (`before`), which a failed build keeps.
int Fail(std::ostream& log, const std::string& reason, const std::string& output = {},
         const PathStamp& before = {}) {
  if (!output.empty() && PathExists(output) && PathStampOf(output) != before) DeleteFile(output);
  log << kLogPrefix << "no package made: " << reason << "\n" << std::flush;
  return 1;
}

// Warns of each clip that the player will not show; gives how many there are.
std::size_t WarnOfClipsNotShown(const CommandLinePackageRequest& request, const ClipMap& marks,
                                std::ostream& log) {
  if (!request.clipsNotShown) return 0;
  const std::vector<std::string> warnings = request.clipsNotShown(marks);
  for (const std::string& warning : warnings)
    log << kLogPrefix << "warning: packed all the same: " << warning << "\n";
  log << std::flush;
  return warnings.size();
}

std::string PackageMadeLine(const std::string& output, std::size_t clipsNotShown) {
  std::string line = std::string(kLogPrefix) + "package made: " + output;
  if (clipsNotShown == 1) line += " (1 file in it is no photo or movie the player can show)";
  if (clipsNotShown > 1)
    line += " (" + std::to_string(clipsNotShown) +
            " files in it are no photos or movies the player can show)";
  return line;
}

int Build(const CommandLinePackageRequest& request, const std::string& output,
          MapFileContent& content, std::ostream& log) {
  const std::size_t notShown = WarnOfClipsNotShown(request, content.marks, log);
  const PathStamp before = PathStampOf(output);
  TMakePackageForm* options = nullptr;
  AnsweringDesktop desktop(log, AnswerDialogs(options, request.message, output));
  TMakePackageForm optionsForm(desktop);
  options = &optionsForm;
  TPackageResultForm resultForm(desktop);
  StreamProgress progress(log);
  PackageJob job{content.marks,
                 content.windowSize.value_or(kStartWindowSize),
                 progress,
                 desktop,
                 request.programFolder,
                 optionsForm,
                 resultForm,
                 /*waitForOtherBuild=*/true};
  const PackageReport report = MakePackageButtonClick(job);
  if (std::string reason = ReasonForBuild(report, desktop); !reason.empty())
    return Fail(log, reason, output, before);
  log << PackageMadeLine(output, notShown) << "\n" << std::flush;
  return 0;
}

}  // namespace

int MakePackageFromCommandLine(const CommandLinePackageRequest& request, std::ostream& log) {
  const std::string mapPath = Absolute(request.mapPath);
  const std::string output = Absolute(request.outputPath);
  MapFileContent content = ReadMapFile(mapPath);
  if (std::string reason = ReasonBeforeBuild(output, content, mapPath); !reason.empty())
    return Fail(log, reason);
  // The map's own folder is the current one, as after Load Map in the editor.
  std::error_code error;
  fs::current_path(fs::path(mapPath).parent_path(), error);
  if (std::string reason = ReasonInClips(request, content.marks); !reason.empty())
    return Fail(log, reason);
  return Build(request, output, content, log);
}

bool IsCompletePackage(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  std::array<unsigned char, kTrailerSize> trailer{};
  const bool read = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                    static_cast<std::uint64_t>(info.st_size) > kTrailerSize &&
                    ::pread(fd, trailer.data(), kTrailerSize, info.st_size - kTrailerSize) ==
                        static_cast<ssize_t>(kTrailerSize);
  ::close(fd);
  if (!read || std::memcmp(trailer.data(), kTrailerMagic, 8) != 0) return false;
  const std::uint64_t offset = LittleEndian64(trailer.data() + 8);
  const std::uint64_t archive = LittleEndian64(trailer.data() + 16);
  const std::uint64_t launch = LittleEndian64(trailer.data() + 24);
  const std::uint64_t body = static_cast<std::uint64_t>(info.st_size) - kTrailerSize;
  return archive <= body && launch <= body - archive && offset == body - archive - launch &&
         offset > 0;
}

}  // namespace mw
