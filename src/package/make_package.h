#pragma once
// Make Package: turns the editor's map into one self-extracting package executable.
//
// How the editor window uses it: TForm1 holds `mw::ProgressReporter progress_`, calls
// `progress_.SetForm(ProgressForm)` once that window exists, forwards ReportProgress and
// LastStepText to it, and runs the build from its handler:
//
//   void TForm1::MakePackageButtonClick() {
//     const QRect frame = frameGeometry();
//     mw::MakePackageButtonClick({clipMap_, mw::WindowSize{frame.width(), frame.height()},
//                                 progress_, desktop_, programFolder_, *MakePackageForm,
//                                 *PackageResultForm});
//   }

#include <string>
#include <vector>

#include "desktop/desktop.h"
#include "map/clip_map.h"
#include "map/map_file.h"
#include "package/progress_sink.h"

class TMakePackageForm;
class TPackageResultForm;

namespace mw {

// Everything a package build needs of the editor window.
struct PackageJob {
  const ClipMap& map;          // read only; the editor's map is not changed
  WindowSize windowSize;       // the window's outer size, written to the data file
  ProgressSink& progress;      // step texts, gauge and the progress window
  Desktop& desktop;            // message boxes, modal dialogs, the pause
  std::string programFolder;   // the folder of the editor's executable, ending with "/"
  TMakePackageForm& options;   // the package options dialog
  TPackageResultForm& result;  // the result window
  // When another build holds the folder: false refuses with a message, true waits
  // for it to end (the command line, where nobody waits at a window).
  bool waitForOtherBuild = false;
};

// How a build ended, for a caller that acts on it (the command line); the person has
// been told already.
struct PackageReport {
  bool stepsRan = false;      // every step ran to the result window
  std::vector<int> warnings;  // the warning codes given, 101 to 108, in order
  int toolExitCode = -1;      // the package build tool's exit code; -1 when it did not run
  std::string toolReason;     // the build tool's last line of error output, if any
  std::string packagePath;    // the package file the build aimed at
  std::string buildFolder;    // the folder the build worked in, ending with "/"
};

// Packages folder and staging folder inside the program folder.
inline constexpr const char* kPackagesFolderName = "Packages/";
inline constexpr const char* kStagingFolderName = "ptemp/";
// A build works in the program folder, or in the per-user workshop folder when the
// program folder cannot be written (an installed editor); see package/workshop.h.
// The files beside the editor that a build uses.
inline constexpr const char* kPlayerSourceName = "runner.dll";
inline constexpr const char* kPackageBuildToolName = "MarkWeaverL.dll";
inline constexpr const char* kExtractorRestName = "tract.dll";
inline constexpr const char* kExtractorRunName = "wextract.exe";
inline constexpr const char* kArchiverRestName = "kecab.dll";
inline constexpr const char* kArchiverRunName = "makecab.exe";

// Runs the whole build synchronously: asks for the options, stages the clips, the data
// file and the player, writes the directive file, runs the package build tool, offers
// the result window and cleans up. Every outcome is reported to the user; the current
// directory is the same afterwards. Only one build at a time works in a folder.
PackageReport MakePackageButtonClick(const PackageJob& job);

}  // namespace mw
