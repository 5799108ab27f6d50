#include "webexport/command_line_export.h"

#include <signal.h>

#include <cmath>
#include <filesystem>
#include <system_error>

#include "check/map_check.h"
#include "map/map_file.h"
#include "map/map_read_failure.h"
#include "webexport/web_export.h"

namespace fs = std::filesystem;

namespace mw {

namespace {

constexpr const char* kLogPrefix = "markweaver: ";
// The editor's start size, for a map without size lines.
constexpr WindowSize kStartWindowSize{610, 545};

volatile sig_atomic_t stopAsked = 0;

void AskToStop(int) {
  stopAsked = 1;
}

// Lets SIGINT and SIGTERM cancel the export (which then cleans up) instead of ending
// the program in the middle of it.
void CatchStopSignals() {
  struct sigaction action {};
  action.sa_handler = AskToStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

// Writes each step and every tenth of the way to the log.
class LogProgress : public WebExportProgress {
 public:
  explicit LogProgress(std::ostream& log) : log_(log) {}
  void Step(const std::string& text) override {
    log_ << kLogPrefix << Percent() << "% " << text << "\n" << std::flush;
  }
  void Share(double done) override {
    const int tenth = static_cast<int>(std::floor(done * 10));
    share_ = done;
    if (tenth <= tenth_) return;
    tenth_ = tenth;
    log_ << kLogPrefix << Percent() << "%\n" << std::flush;
  }
  bool Cancelled() override { return stopAsked != 0; }

 private:
  int Percent() const { return static_cast<int>(std::lround(share_ * 100)); }

  std::ostream& log_;
  double share_ = 0;
  int tenth_ = 0;
};

int Fail(std::ostream& log, const std::string& reason) {
  log << kLogPrefix << "no web export made: " << reason << "\n" << std::flush;
  return 1;
}

}  // namespace

int ExportWebFromCommandLine(const CommandLineWebExport& request, std::ostream& log) {
  std::error_code error;
  const std::string mapPath = fs::absolute(request.mapPath, error).lexically_normal().string();
  const std::string output = fs::absolute(request.outputPath, error).string();
  MapFileContent content = ReadMapFile(mapPath);
  if (std::string reason = MapReadFailureText(mapPath, content); !reason.empty())
    return Fail(log, reason);
  // Clip paths are read from the map's own folder, as after Load Map in the editor.
  fs::current_path(fs::path(mapPath).parent_path(), error);
  const std::vector<MapProblem> problems = ProblemsStoppingPackage(content.marks);
  if (!problems.empty()) return Fail(log, FormatProblem(problems.front()));
  CatchStopSignals();
  WebExportRequest export_request{
      std::move(content.marks), content.windowSize.value_or(kStartWindowSize), output,
      request.title.value_or(DefaultWebTitle(mapPath)), request.message};
  LogProgress progress(log);
  const WebExportResult result = ExportForWeb(export_request, progress);
  if (result.status != WebExportResult::Status::Made) return Fail(log, result.reason);
  log << kLogPrefix << "web export made: " << result.destination << "\n" << std::flush;
  return 0;
}

}  // namespace mw
