#pragma once
// The moments of a package's start, for the programs that time it: where the time goes
// before the player runs.

#include <mutex>
#include <string>

namespace mw::packer {

// Environment variable naming the file for the package's start report. When it is set, the
// package writes there, just before it starts its player, one "moment_ns=value" line per
// moment marked: nanoseconds on the system-wide steady clock, comparable with the player's
// own start report.
inline constexpr const char* kPackageStartReportVariable = "MW_PACKAGE_START_REPORT";

// Collects the moments of one start; does nothing when the variable is not set.
class StartMoments {
 public:
  StartMoments();

  // Notes that the moment named has come (a key without "=" or line breaks); from any thread.
  void Mark(const char* moment);
  // Writes the moments noted so far, replacing the file. Never throws: a report that cannot
  // be written is left out, and the package plays as it would without it.
  void Write();

 private:
  std::string path_;
  std::mutex mutex_;
  std::string lines_;
};

}  // namespace mw::packer
