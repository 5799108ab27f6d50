#pragma once
// Packages unpacked once into the user's cache folder and played from there at every later
// start, so that a start after the first unpacks nothing.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "packer/package_trailer.h"
#include "packer/runtime_parts.h"
#include "packer/temp_folder.h"

namespace mw::packer {

// How many unpacked packages the cache keeps at most, besides those in use: the ones
// started last.
inline constexpr std::size_t kKeptPackages = 3;

// The name of a package's folder in the cache: it follows every byte of the archive, the
// launch line and the runtime parts the package links to, so that two packages share a
// folder only when they would unpack the same.
std::string PackageEntryName(const PackageLayout& layout, const std::vector<RuntimePart>& runtime);

// Records every regular file of the folder (its inode, size and change times) in the folder's
// stamp, written last. Throws PackerError.
void WriteFolderStamp(const std::string& folder);

// Whether the folder has its stamp and every file recorded there is still the one that was
// recorded: replaced, written to, cut or removed files are found. Reads no file's content.
bool FolderMatchesStamp(const std::string& folder);

// A package's unpacked folder in the cache, marked in use (by a shared lock that programs
// started meanwhile inherit) while this object or such a program lives.
class PackageEntry {
 public:
  PackageEntry(std::string path, int lock_fd, std::string owned = "");
  ~PackageEntry();
  PackageEntry(const PackageEntry&) = delete;
  PackageEntry& operator=(const PackageEntry&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  int lock_fd_;
  OwnedFolder owned_;  // a folder for this start only, removed at the end
};

// The package file being started, as the cache needs it.
struct PackageFile {
  int fd = -1;             // the open package file
  std::uint64_t room = 0;  // bytes its unpacking needs, about
  // Unpacks the package into the folder it is given (which exists and is empty), checking
  // its archive against the trailer's hash on the way.
  std::function<void(const std::string& folder)> fill;
  // Checks the package's archive against the trailer's hash; throws PackerError when it
  // does not match.
  std::function<void()> verify;
  // Called before a folder that fill began to fill is given up and removed: for want of
  // room (even for the stamp alone), or on a failure. May be empty.
  std::function<void()> abandon;
};

// Gives the package's folder named name in the cache: the one there when it matches its
// stamp, else one made in its place and filled there, held locked while it fills and stamped
// last, so that the package's player may start in it while it fills. When that place is
// held (a damaged folder still in use, or another start filling it), a folder filled under a
// temporary name serves this start only. A package file that was not found to match the folder before (a copy elsewhere, or
// a file written to since) is verified first. Returns nullptr when the cache cannot take
// the package: no usable cache folder, less room there than the package needs, or fill
// threw NoRoomError. Other failures are thrown.
std::unique_ptr<PackageEntry> ProvidePackageEntry(const std::string& name,
                                                  const PackageFile& package);

// Removes the unpacked packages in the cache folder beyond the kKeptPackages started last,
// except those in use. Returns how many were removed.
int TrimPackageCache(const std::string& cache);

}  // namespace mw::packer
