// The player's program start: reads where its map is, opens the player window and runs
// until the person ends it.
#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "media/start_picture.h"
#include "player/failure_window.h"
#include "player/font_setup_ahead.h"
#include "player/launch_options.h"
#include "player/own_runtime.h"
#include "player/player_window.h"
#include "player/start_report.h"
#include "player/unpack_gate.h"

namespace {

// Longest wait for the start clip to be painted before a start report is written anyway.
constexpr int kStartReportDeadlineMs = 30000;

std::string OwnProgramPath(const char* argv0) {
  std::error_code error;
  std::filesystem::path own = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string(argv0) : own.string();
}

std::string CurrentFolder() {
  std::error_code error;
  std::filesystem::path current = std::filesystem::current_path(error);
  return error ? std::string(".") : current.string();
}

// With the report variable set, the player reports its start and ends; with the each-clip
// variable too, it reports every clip shown and plays on.
void ReportStart(mw::PlayerWindow& window, const char* reportPath,
                 std::chrono::steady_clock::time_point started) {
  const bool eachClip = std::getenv(mw::kReportEachClipVariable) != nullptr;
  auto report = [&window, reportPath, started, eachClip](bool painted) {
    mw::StartTimes times{started, painted ? std::chrono::steady_clock::now()
                                          : std::chrono::steady_clock::time_point()};
    mw::WriteStartReport(reportPath, mw::FormatStartReport(window, times));
    if (!eachClip || !painted) QCoreApplication::exit(painted ? 0 : 3);
  };
  QObject::connect(&window, &mw::PlayerWindow::StartClipPainted, &window,
                   [report] { report(true); });
  if (eachClip) {
    QObject::connect(&window, &mw::PlayerWindow::ClipShown, &window, [&window, report] {
      if (window.StartPainted()) report(true);
    });
  }
  QTimer::singleShot(kStartReportDeadlineMs, &window, [&window, report] {
    if (!window.StartPainted()) report(false);
  });
}

// The start picture is decoded ahead only once the package has put it in place.
std::shared_future<mw::CachedPhoto> StartPictureAhead(mw::UnpackGate& gate,
                                                      const mw::LaunchOptions& options) {
  const std::string name = mw::StartPictureName(options.dataFileName);
  gate.TakeAvailable();
  if (!gate.InPlace(name)) return {};
  return mw::DecodeStartPictureAhead(mw::ClipFilePath(options.folder, name));
}

}  // namespace

int main(int argc, char** argv) {
  const auto started = std::chrono::steady_clock::now();
  mw::UnpackGate gate = mw::UnpackGate::FromEnvironment();
  const std::string ownPath = OwnProgramPath(argv[0]);
  mw::KeepToOwnRuntime(std::filesystem::path(ownPath).parent_path().string());
  if (argc == 3 && std::string(argv[1]) == mw::kFailureOption) {
    return mw::ShowFailureWindow(argc, argv, argv[2]);
  }
  const std::vector<std::string> arguments(argv + std::min(argc, 1), argv + argc);
  const mw::LaunchOptions options = mw::ReadLaunchOptions(ownPath, CurrentFolder(), arguments);
  if (options.showHelp || !options.error.empty()) {
    if (!options.error.empty()) std::fprintf(stderr, "runner.dll: %s\n", options.error.c_str());
    std::fputs(mw::LaunchUsage().c_str(), options.error.empty() ? stdout : stderr);
    return options.error.empty() ? 0 : 2;
  }
  mw::FontSetupAhead fonts;
  auto startPicture = StartPictureAhead(gate, options);
  QApplication app(argc, argv);
  QApplication::setApplicationName("MarkWeaver");
  fonts.Wait();
  mw::PlayerWindow window({.folder = options.folder,
                           .dataFileName = options.dataFileName,
                           .message = options.message,
                           .movie = {},
                           .startPicture = std::move(startPicture),
                           .gate = std::move(gate)});
  if (const char* reportPath = std::getenv(mw::kStartReportVariable))
    ReportStart(window, reportPath, started);
  window.show();
  return QApplication::exec();
}
