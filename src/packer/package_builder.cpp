#include "packer/package_builder.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cerrno>
#include <future>
#include <vector>

#include "map/package_data_file.h"
#include "packer/archive_packer.h"
#include "packer/file_copy.h"
#include "packer/launch_line.h"
#include "packer/package_head.h"
#include "packer/package_trailer.h"
#include "packer/packer_error.h"
#include "packer/process.h"
#include "packer/program_folder.h"
#include "packer/runtime_parts.h"
#include "packer/start_files_first.h"

namespace mw::packer {
namespace {

// The start picture's name beside the data file: "mwRun" has "mwRun.start.jpg".
constexpr const char* kStartPictureSuffix = ".start.jpg";

// How the archiver packs a package's files. Photos and movies, most of any package, are
// compressed already: searching them for repeats even at zstd's fastest level made a build
// take half as long again as copying them, for a package under one percent smaller. So the
// archive is a plain tar unless samples show that compressing saves room (an uncompressed
// movie, say), and then zstd's fast negative level.
constexpr const char* kPackageLevel = "-5";
constexpr const char* kPackageArchiveMode = "--store-unless-worthwhile";

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

// The editor stages a small copy of the start photo beside the launched program, for the
// player to paint while it decodes the photo itself; it is packed when it is there. The
// directive file keeps to the files it names itself.
void AddStagedStartPicture(PackageDirective& directive, const LaunchCommand& command) {
  const std::string name = DataFileOfProgram(command.program) + kStartPictureSuffix;
  const auto program = std::find_if(directive.files.begin(), directive.files.end(),
                                    [&](const SourceFile& f) { return f.name == command.program; });
  const bool listed = std::any_of(directive.files.begin(), directive.files.end(),
                                  [&](const SourceFile& f) { return f.name == name; });
  if (program == directive.files.end() || listed) return;
  SourceFile picture{program->folder, name};
  if (IsRegularFile(JoinPath(picture.folder, picture.name))) directive.files.push_back(picture);
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
    if (second_fd_ >= 0) close(second_fd_);
    if (fd_ >= 0) close(fd_);
    if (!path_.empty()) unlink(path_.c_str());
  }
  PartialPackage(const PartialPackage&) = delete;
  PartialPackage& operator=(const PartialPackage&) = delete;

  int fd() const { return fd_; }

  // A second descriptor of the package, with an offset of its own set to `offset`; closed
  // with the package.
  int OpenWriterAt(std::uint64_t offset) {
    second_fd_ = open(path_.c_str(), O_WRONLY | O_CLOEXEC);
    if (second_fd_ < 0 || lseek(second_fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
      throw PackerError(ErrnoText("cannot write " + path_, errno));
    }
    return second_fd_;
  }

  void Append(const void* data, std::size_t size) {
    WriteAllBytes(fd_, std::string_view(static_cast<const char*>(data), size), path_);
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
    if (second_fd_ >= 0) close(second_fd_);
    second_fd_ = -1;
    const int closed = close(fd_);
    fd_ = -1;
    if (closed != 0) throw PackerError(ErrnoText("cannot write " + path_, errno));
    ThrowIfInterrupted();
    if (rename(path_.c_str(), target_.c_str()) != 0) {
      throw PackerError(ErrnoText("cannot write " + target_, errno));
    }
    path_.clear();
  }

 private:
  std::string target_;
  std::string path_;
  int fd_ = -1;
  int second_fd_ = -1;
};

// The runtime parts a package needs: the photo part always, the movie part for a map that
// may show a movie.
std::vector<std::string> RuntimePartsFor(const PackageDirective& directive,
                                         const LaunchCommand& command,
                                         const HelperPrograms& helpers) {
  std::vector<std::string> names;
  for (const SourceFile& file : directive.files) names.push_back(file.name);
  std::vector<std::string> paths{helpers.photo_runtime};
  if (NeedsMovieRuntime(names, command.program)) paths.push_back(helpers.movie_runtime);
  return paths;
}

// Both ends of a pipe, closed with it.
class Pipe {
 public:
  Pipe() {
    if (pipe2(ends_, O_CLOEXEC) != 0) throw PackerError(ErrnoText("cannot make a pipe", errno));
  }
  ~Pipe() {
    for (int& end : ends_)
      if (end >= 0) close(end);
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
  int read_end() const { return ends_[0]; }
  int write_end() const { return ends_[1]; }
  void CloseWriteEnd() {
    close(ends_[1]);
    ends_[1] = -1;
  }

 private:
  int ends_[2] = {-1, -1};
};

// The archive's hash as the archiver reported it: 16 hexadecimal digits and a line end.
std::uint64_t ReadReportedHash(int fd) {
  char text[18] = {};
  std::size_t got = 0;
  for (ssize_t n; got < 17 && (n = read(fd, text + got, 17 - got)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    got += static_cast<std::size_t>(n);
  }
  char* end = nullptr;
  const std::uint64_t hash = std::strtoull(text, &end, 16);
  if (got != 17 || end != text + 16 || text[16] != '\n') {
    throw PackerError("the archiver did not report the archive's hash");
  }
  return hash;
}

// Runs the archiver with its output on out_fd; returns the archive's hash.
std::uint64_t RunArchiver(const PackageDirective& directive, const std::string& archiver,
                          int out_fd) {
  Pipe hash;
  ProcessRequest request;
  request.program = archiver;
  request.argv = {BareName(archiver), "--level", kPackageLevel, kPackageArchiveMode,
                  "--hash-fd", "3", "-o", "-", "--"};
  for (const SourceFile& file : directive.files) {
    request.argv.push_back(JoinPath(file.folder, file.name));
  }
  request.stdout_fd = out_fd;
  request.extra_fd = hash.write_end();
  const ProcessResult result = RunProcess(request);
  hash.CloseWriteEnd();
  ThrowIfInterrupted();
  if (!result.exited || result.code != 0) {
    throw PackerError("the archiver " + archiver + " failed (exit code " +
                      std::to_string(ExitCodeOf(result)) + ")");
  }
  return ReadReportedHash(hash.read_end());
}

}  // namespace

HelperPrograms FindHelperPrograms(const std::string& folder) {
  return {FindHelper(folder, "makecab.exe", "kecab.dll"),
          FindHelper(folder, "wextract.exe", "tract.dll"),
          FindRuntimePart(folder, kPhotoRuntimeName), FindRuntimePart(folder, kMovieRuntimeName)};
}

void BuildPackage(PackageDirective directive, const HelperPrograms& helpers) {
  InstallInterruptHandlers();
  const LaunchCommand command = ParseLaunchLine(directive.launch_line);
  if (directive.launch_line.size() > kMaxLaunchLineSize) {
    throw PackerError("the launch line is too long");
  }
  CheckLaunchProgram(directive, command);
  AddStagedStartPicture(directive, command);
  CheckSources(directive);
  PutStartFilesFirst(directive.files, command.program,
                     DataFileOfProgram(command.program) + kStartPictureSuffix);
  CheckTarget(directive.target);

  PartialPackage package(directive.target);
  const HeadPlan head = PlanHead(helpers.extractor, RuntimePartsFor(directive, command, helpers));
  // The archiver writes the archive behind the head while the head is copied in, so its
  // start and the hashing of the runtime parts take no time of their own.
  const std::uint64_t archive_offset = head.size;
  const int archive_fd = package.OpenWriterAt(archive_offset);
  auto archiving = std::async(std::launch::async, [&] {
    return RunArchiver(directive, helpers.archiver, archive_fd);
  });
  try {
    WriteHead(package.fd(), head);
  } catch (...) {
    archiving.wait();
    throw;
  }
  const std::uint64_t archive_hash = archiving.get();
  const std::uint64_t archive_end = package.Size();
  if (archive_end <= archive_offset) throw PackerError("the archiver wrote nothing");
  if (lseek(package.fd(), 0, SEEK_END) < 0) {
    throw PackerError(ErrnoText("cannot write the package", errno));
  }
  package.Append(directive.launch_line.data(), directive.launch_line.size());
  const auto trailer =
      EncodeTrailer({archive_offset, archive_end - archive_offset, directive.launch_line.size(),
                     archive_hash, HashOfBytes(directive.launch_line)});
  package.Append(trailer.data(), trailer.size());
  package.Commit();
}

}  // namespace mw::packer
