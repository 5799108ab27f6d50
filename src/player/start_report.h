#pragma once
// The player's report of its start, for the programs that test and time it.

#include <chrono>
#include <string>

namespace mw {

class PlayerWindow;

// Environment variable naming the file for the start report. When it is set, the player
// writes the report once its start clip is painted and then ends.
inline constexpr const char* kStartReportVariable = "MW_PLAYER_START_REPORT";
// Environment variable that, set beside the report's, keeps the player playing after its
// start: the report is written again each time a clip is shown, and the player ends only
// when the person ends it.
inline constexpr const char* kReportEachClipVariable = "MW_PLAYER_REPORT_EACH_CLIP";

// The moments of the start, on the system-wide steady clock (comparable across processes).
struct StartTimes {
  std::chrono::steady_clock::time_point processStarted;
  std::chrono::steady_clock::time_point startPainted;
};

// The report as "key=value" lines: clip, kind, message, problem, caption, window
// (width x height), mark (the screen position "x,y" of the first mark's centre; empty
// without marks), folder, started_ns, painted_ns.
std::string FormatStartReport(const PlayerWindow& window, const StartTimes& times);

// Writes the report to `path`; false when it cannot be written.
bool WriteStartReport(const std::string& path, const std::string& report);

}  // namespace mw
