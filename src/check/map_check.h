#pragma once
// The map check: every broken link, stray mark and unreachable clip of a map.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "check/clip_probe.h"
#include "map/clip_map.h"

namespace mw {

// The kinds of problem the check finds, each with its own text (ProblemKindText).
enum class ProblemKind {
  MissingFile,
  UnreadableFile,
  NotAClip,
  BadPhoto,
  BadMovie,
  OutsideClip,
  SamePlace,
  Unreachable,
  NoMarks,
};

// One problem of a map.
struct MapProblem {
  ProblemKind kind = ProblemKind::NoMarks;
  std::optional<std::size_t> markIndex;  // the mark at fault; none for a problem of the map
  std::string clip;                      // the clip the mark sits on, or the clip at fault
  std::string message;                   // the mark's message
  std::string file;                      // the file at fault
  std::string detail;                    // further words of the decoder or the system
  std::string relinkFile;  // a missing file: the file Relink would use instead, if any

  friend bool operator==(const MapProblem&, const MapProblem&) = default;
};

// True when the mark's centre lies outside its clip area (or is not a number): the
// problem OutsideClip.
bool MarkOutsideClip(const ClickerMark& mark);

// The text of a kind of problem, as the check window and the command line show it.
const char* ProblemKindText(ProblemKind kind);

// One line for a problem: its kind, the file at fault, and where the mark is.
std::string FormatProblem(const MapProblem& problem);

// Every problem of `map`, in map order: first each mark's problems, then the clips that
// cannot be reached from the start clip; an empty map gives the one problem NoMarks,
// naming `mapPath`. Files are probed through `prober`, each once. With `mapPath`, each
// missing file names the file found beside the map that Relink would use, if any.
std::vector<MapProblem> CheckMap(const ClipMap& map, ClipProber& prober,
                                 const std::string& mapPath = {});
// The same with a prober of its own that reads the content of every file.
std::vector<MapProblem> CheckMap(const ClipMap& map, const std::string& mapPath = {});

// The problems that stop a command-line package: each mark's clip or target that is
// missing or cannot be read. Reads no file's content.
std::vector<MapProblem> ProblemsStoppingPackage(const ClipMap& map);

// The files of the map that the player will not show: no clip file, or a photo or movie
// that does not open; each file once, with the first mark that names it.
std::vector<MapProblem> FilesThePlayerCannotShow(const ClipMap& map);

// The question asked before a package is made of a map with problems: the first ten
// problems, a count of the rest, and "Make the package anyway?".
std::string PackageQuestion(const std::vector<MapProblem>& problems);
// The same list of problems, ending with `question` (e.g. "Export the map anyway?").
std::string ProblemsQuestion(const std::vector<MapProblem>& problems, const std::string& question);

// The clips that cannot be reached from the start clip (the first mark's clip) by
// following marks, in the order they first appear in the map.
std::vector<std::string> UnreachableClips(const ClipMap& map);

}  // namespace mw
