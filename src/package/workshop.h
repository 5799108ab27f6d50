#pragma once
// Where a package build works: the program folder when it may be written, else a
// per-user workshop folder that holds what a build needs of the program folder.

#include <string>

namespace mw {

// The per-user workshop folder, ending with "/": $XDG_DATA_HOME/markweaver/, or
// $HOME/.local/share/markweaver/ when XDG_DATA_HOME is unset or not absolute. Empty
// when neither gives an absolute folder.
std::string WorkshopFolder();

// True when files can be made, renamed and removed in `folder` by this process.
bool FolderWritable(const std::string& folder);

// The folder a build of the editor in `programFolder` works in: the program folder
// itself when it is writable, else WorkshopFolder(). Ends with "/" (empty when there
// is no workshop folder).
std::string BuildFolderFor(const std::string& programFolder);

// Outcome of PrepareWorkshop: empty when the workshop is ready, else the file or
// folder that could not be made.
struct WorkshopProblem {
  std::string path;
  bool Any() const { return !path.empty(); }
};

// Makes `workshop` hold current versions of the files a build takes from
// `programFolder`: copies of the player and the package tools (a copy made again
// when its original changed), links to the player runtimes, and no tool left renamed
// by an interrupted build. Call it only while holding the workshop's BuildLock.
WorkshopProblem PrepareWorkshop(const std::string& programFolder, const std::string& workshop);

// Puts to rest what a build cut off by a kill or a crash left in the folder builds work
// in: its tools under their run names go back to their own names where those are free,
// and the files it staged in `stagingFolder` go. Call it only while holding the folder's
// BuildLock, so that no build runs meanwhile.
void PutCutOffBuildToRest(const std::string& buildFolder, const std::string& stagingFolder);

// Whether `path` is where a tool of the folder builds work in lies while a build runs: a
// package made there would be written over the tool and renamed away with it.
bool IsToolRunPath(const std::string& buildFolder, const std::string& path);

}  // namespace mw
