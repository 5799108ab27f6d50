#pragma once
// A package file opened to be run, unpacked or listed: where its archive lies, what it
// starts and the runtime parts it carries.

#include <string>
#include <vector>

#include "packer/launch_line.h"
#include "packer/package_trailer.h"
#include "packer/runtime_parts.h"
#include "packer/safe_extract.h"

namespace mw::packer {

// A file open for reading or writing; closed with it. Throws PackerError when it cannot be
// opened.
class OpenFile {
 public:
  OpenFile(const std::string& path, int flags);
  ~OpenFile();
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

struct Package {
  OpenFile file;
  PackageLayout layout;
  LaunchCommand command;
  std::vector<RuntimePart> runtime;

  // Throws PackerError when the file is no package.
  explicit Package(const std::string& path);

  ArchiveSpan span() const {
    return {file.get(), layout.archive_offset, layout.archive_size, layout.archive_hash};
  }
};

// The packed file that the launch line starts; throws when the package lacks it.
const PackedFile& LaunchProgram(const Package& package, const std::vector<PackedFile>& files);

// Gives the unpacked program in the folder dir_fd the run bit; throws PackerError.
void MakeRunnable(int dir_fd, const std::string& program, mode_t permissions);

// Unpacks into dir and gives the launch program its run bit; hooks hear of the unpacking on
// the way (their poll stops it on an interrupt first).
void UnpackInto(const Package& package, const std::string& dir, const ExtractLimits& limits,
                ExtractHooks hooks = {});

}  // namespace mw::packer
