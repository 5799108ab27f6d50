#pragma once
// Work folders of packages that were killed before they could remove them: each live one is
// marked by a lock its owner holds, which the system lets go of when the owner ends however
// it ends; the next package to start removes those no one holds.

#include <string>
#include <vector>

namespace mw::packer {

// Marks the folder as in use for as long as this object lives, and longer when inherited:
// the lock is held by an open descriptor of the folder, which programs started meanwhile
// keep (so a player still running keeps its folder marked). Never throws: a folder that
// cannot be locked is only left unmarked.
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder, bool inherited = false);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_ = -1;
};

// Removes the folders in parent whose names start with one of prefixes, that belong to this
// user, were last changed at least min_age_seconds ago (a folder just made is not locked
// yet) and that no one holds locked. Returns how many were removed.
int SweepLeftovers(const std::string& parent, const std::vector<std::string>& prefixes,
                   int min_age_seconds = 10);

// At a package's start: sweeps the temporary folders (mwpkg-*) of dead packages from the
// places MakePrivateTempFolder uses, and half-unpacked (.part-*) and discarded (.damaged-*)
// runtime folders from the runtime cache.
void SweepPackageLeftovers();

}  // namespace mw::packer
