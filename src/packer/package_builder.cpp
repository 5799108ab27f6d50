#include "packer/package_builder.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "packer/archive_packer.h"
#include "packer/launch_line.h"
#include "packer/package_trailer.h"
#include "packer/packer_error.h"
#include "packer/process.h"
#include "packer/program_folder.h"
#include "packer/runtime_parts.h"

namespace mw::packer {
namespace {

// The archiver's compression level for packages: a fast negative level, since photos and
// movies barely compress and their time is better spent writing them than searching them
// for repeats.
constexpr const char* kPackageLevel = "-5";

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string FindHelper(const std::string& folder, const char* run_name, const char* rest_name) {
  for (const char* name : {run_name, rest_name}) {
    const std::string path = JoinPath(folder, name);
    if (IsRegularFile(path) && access(path.c_str(), X_OK) == 0) return path;
  }
  throw PackerError("the helper program " + JoinPath(folder, run_name) + " is missing");
}

std::string FindRuntimePart(const std::string& folder, const char* name) {
  const std::string path = JoinPath(folder, name);
  if (!IsRegularFile(path)) {
    throw PackerError("the player's runtime " + path + " is missing");
  }
  return path;
}

void CheckSources(const PackageDirective& directive) {
  for (const SourceFile& file : directive.files) {
    const std::string path = JoinPath(file.folder, file.name);
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
      throw PackerError("the source file " + path + " is missing");
    if (!S_ISREG(info.st_mode)) throw PackerError(path + " is not a regular file");
  }
}

void CheckLaunchProgram(const PackageDirective& directive, const LaunchCommand& command) {
  const bool packed = std::any_of(directive.files.begin(), directive.files.end(),
                                  [&](const SourceFile& f) { return f.name == command.program; });
  if (!packed) {
    throw PackerError("the launched program " + command.program + " is not among the files");
  }
}

void CheckTarget(const std::string& target) {
  struct stat info {};
  const std::string folder = FolderOf(target);
  if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    throw PackerError("the target folder " + folder + " does not exist");
  }
  if (stat(target.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    throw PackerError("the target " + target + " is a folder");
  }
}

// The package while it is written: a hidden file beside the target, removed unless it was
// renamed to the target.
class PartialPackage {
 public:
  explicit PartialPackage(const std::string& target)
      : target_(target),
        path_(FolderOf(target) + "." + target.substr(FolderOf(target).size()) + ".XXXXXX") {
    std::vector<char> name(path_.begin(), path_.end());
    name.push_back('\0');
    fd_ = mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0) throw PackerError(ErrnoText("cannot write in " + FolderOf(target), errno));
    path_ = name.data();
  }
  ~PartialPackage() {
    if (fd_ >= 0) close(fd_);
    if (!path_.empty()) unlink(path_.c_str());
  }
  PartialPackage(const PartialPackage&) = delete;
  PartialPackage& operator=(const PartialPackage&) = delete;

  int fd() const { return fd_; }

  void Append(const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
      const ssize_t written = write(fd_, bytes, size);
      if (written < 0 && errno == EINTR) continue;
      if (written < 0) throw PackerError(ErrnoText("cannot write " + path_, errno));
      bytes += written;
      size -= static_cast<std::size_t>(written);
    }
  }

  std::uint64_t Size() const {
    struct stat info {};
    if (fstat(fd_, &info) != 0) throw PackerError(ErrnoText("cannot read " + path_, errno));
    return static_cast<std::uint64_t>(info.st_size);
  }

  // Makes the package runnable and gives it the target name. It is not flushed to disk
  // first: a package can always be built again, and the flush doubled the build time.
  void Commit() {
    const mode_t mask = umask(0);
    umask(mask);
    if (fchmod(fd_, 0777 & ~mask) != 0) {
      throw PackerError(ErrnoText("cannot finish " + path_, errno));
    }
    const int closed = close(fd_);
    fd_ = -1;
    if (closed != 0) throw PackerError(ErrnoText("cannot write " + path_, errno));
    if (PendingInterrupt() != 0) throw PackerError("interrupted");
    if (rename(path_.c_str(), target_.c_str()) != 0) {
      throw PackerError(ErrnoText("cannot write " + target_, errno));
    }
    path_.clear();
  }

 private:
  std::string target_;
  std::string path_;
  int fd_ = -1;
};

// Appends the file; returns the hash of its bytes.
std::uint64_t AppendFile(PartialPackage& package, const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw PackerError(ErrnoText("cannot open " + path, errno));
  std::vector<char> buffer(1 << 20);
  ContentHash hash;
  for (;;) {
    const ssize_t got = read(fd, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      close(fd);
      throw PackerError(ErrnoText("cannot read " + path, errno));
    }
    if (got == 0) break;
    package.Append(buffer.data(), static_cast<std::size_t>(got));
    hash.Add(buffer.data(), static_cast<std::size_t>(got));
  }
  close(fd);
  return hash.Value();
}

// Appends the runtime parts the package needs and their index.
void AppendRuntime(PartialPackage& package, const PackageDirective& directive,
                   const LaunchCommand& command, const HelperPrograms& helpers) {
  std::vector<std::string> names;
  for (const SourceFile& file : directive.files) names.push_back(file.name);
  std::vector<std::string> paths{helpers.photo_runtime};
  if (NeedsMovieRuntime(names, command.program)) paths.push_back(helpers.movie_runtime);
  std::vector<RuntimePart> parts;
  for (const std::string& path : paths) {
    RuntimePart part;
    part.offset = package.Size();
    part.hash = AppendFile(package, path);
    part.size = package.Size() - part.offset;
    if (part.size == 0) throw PackerError("the runtime part " + path + " is empty");
    parts.push_back(part);
  }
  const std::string index = EncodeRuntimeIndex(parts);
  package.Append(index.data(), index.size());
}

void RunArchiver(const PackageDirective& directive, const std::string& archiver, int out_fd) {
  ProcessRequest request;
  request.program = archiver;
  request.argv = {BareName(archiver), "--level", kPackageLevel, "-o", "-", "--"};
  for (const SourceFile& file : directive.files) {
    request.argv.push_back(JoinPath(file.folder, file.name));
  }
  request.stdout_fd = out_fd;
  const ProcessResult result = RunProcess(request);
  if (PendingInterrupt() != 0) throw PackerError("interrupted");
  if (!result.exited || result.code != 0) {
    throw PackerError("the archiver " + archiver + " failed (exit code " +
                      std::to_string(ExitCodeOf(result)) + ")");
  }
}

}  // namespace

HelperPrograms FindHelperPrograms(const std::string& folder) {
  return {FindHelper(folder, "makecab.exe", "kecab.dll"),
          FindHelper(folder, "wextract.exe", "tract.dll"), FindRuntimePart(folder, kPhotoRuntimeName),
          FindRuntimePart(folder, kMovieRuntimeName)};
}

void BuildPackage(const PackageDirective& directive, const HelperPrograms& helpers) {
  InstallInterruptHandlers();
  const LaunchCommand command = ParseLaunchLine(directive.launch_line);
  if (directive.launch_line.size() > kMaxLaunchLineSize) {
    throw PackerError("the launch line is too long");
  }
  CheckLaunchProgram(directive, command);
  CheckSources(directive);
  CheckTarget(directive.target);

  PartialPackage package(directive.target);
  AppendFile(package, helpers.extractor);
  AppendRuntime(package, directive, command, helpers);
  const std::uint64_t archive_offset = package.Size();
  RunArchiver(directive, helpers.archiver, package.fd());
  const std::uint64_t archive_end = package.Size();
  if (archive_end <= archive_offset) throw PackerError("the archiver wrote nothing");
  if (lseek(package.fd(), 0, SEEK_END) < 0) {
    throw PackerError(ErrnoText("cannot write the package", errno));
  }
  package.Append(directive.launch_line.data(), directive.launch_line.size());
  const auto trailer =
      EncodeTrailer({archive_offset, archive_end - archive_offset, directive.launch_line.size()});
  package.Append(trailer.data(), trailer.size());
  package.Commit();
}

}  // namespace mw::packer
