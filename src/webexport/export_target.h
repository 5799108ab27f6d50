#pragma once
// Where a web export goes: the checks on its destination, the staging folder beside it,
// and the rename that puts the finished export in place, so that a failure or a kill
// never leaves half an export and keeps an earlier one.

#include <string>

namespace mw {

// The file inside a folder export that marks it as one: only a folder holding it is
// replaced by a later export.
inline constexpr const char* kExportMarkerName = ".markweaver-web-export";

// True for a destination that names one self-contained page: a name ending in .html
// or .htm (any letter case).
bool IsSingleFileDestination(const std::string& destination);

// The destination of one export and its staging folder.
class ExportTarget {
 public:
  // `destination`: the folder to make, or the page file (IsSingleFileDestination).
  explicit ExportTarget(std::string destination);
  ~ExportTarget();
  ExportTarget(const ExportTarget&) = delete;
  ExportTarget& operator=(const ExportTarget&) = delete;

  // Why the destination may not be written, in words for the person; empty when it
  // may: nothing is there, an empty folder, or an earlier export of the same form.
  // A symbolic link is always refused.
  std::string Refusal() const;
  // Makes a fresh staging folder beside the destination, first removing staging
  // folders that killed exports of the same destination left; the reason when it
  // cannot.
  std::string Prepare();
  // The staging folder, ending without "/"; the export is built inside it.
  const std::string& Staging() const { return staging_; }
  // Puts the staging folder in place as the folder export (an earlier export is
  // swapped out and then removed); the reason when it could not.
  std::string PlaceFolder();
  // Puts `page` (a file inside the staging folder) in place as the single-file export,
  // then removes the staging folder; the reason when it could not.
  std::string PlaceFile(const std::string& page);
  // Removes the staging folder and all in it (after a failure or a cancel).
  void Discard();
  const std::string& Destination() const { return destination_; }

 private:
  std::string destination_;
  std::string staging_;
};

}  // namespace mw
