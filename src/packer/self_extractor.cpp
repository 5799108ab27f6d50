#include "packer/self_extractor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <iostream>
#include <memory>
#include <vector>

#include "packer/failure_notice.h"
#include "packer/launch_line.h"
#include "packer/leftover_sweep.h"
#include "packer/package_cache.h"
#include "packer/package_trailer.h"
#include "packer/packer_error.h"
#include "packer/process.h"
#include "packer/program_folder.h"
#include "packer/runtime_cache.h"
#include "packer/runtime_parts.h"
#include "packer/start_moments.h"
#include "packer/temp_folder.h"

namespace mw::packer {
namespace {

class OpenFile {
 public:
  OpenFile(const std::string& path, int flags) : fd_(open(path.c_str(), flags | O_CLOEXEC)) {
    if (fd_ < 0) throw PackerError(ErrnoText("cannot open " + path, errno));
  }
  ~OpenFile() { close(fd_); }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// An opened package: where its archive lies and what it starts.
struct Package {
  OpenFile file;
  PackageLayout layout;
  LaunchCommand command;
  std::vector<RuntimePart> runtime;

  explicit Package(const std::string& path)
      : file(path, O_RDONLY),
        layout(ReadPackageLayout(file.get())),
        command(ParseLaunchLine(layout.launch_line)),
        runtime(ReadRuntimeIndex(file.get(), layout.archive_offset)) {}

  ArchiveSpan span() const {
    return {file.get(), layout.archive_offset, layout.archive_size, layout.archive_hash};
  }
};

void StopOnInterrupt() {
  if (PendingInterrupt() != 0) throw PackerError("interrupted");
}

// The packed file that the launch line starts; throws when the package lacks it.
const PackedFile& LaunchProgram(const Package& package, const std::vector<PackedFile>& files) {
  const std::string& program = package.command.program;
  const auto it = std::find_if(files.begin(), files.end(),
                               [&](const PackedFile& f) { return f.name == program; });
  if (it == files.end()) {
    throw PackerError("the package is refused: it lacks its program " + PrintableName(program));
  }
  return *it;
}

// Unpacks into dir and gives the launch program its run bit.
void UnpackInto(const Package& package, const std::string& dir, const ExtractLimits& limits) {
  const OpenFile folder(dir, O_RDONLY | O_DIRECTORY);
  const std::vector<PackedFile> files =
      ReadArchive(package.span(), folder.get(), limits, StopOnInterrupt);
  const PackedFile& program = LaunchProgram(package, files);
  if (fchmodat(folder.get(), program.name.c_str(), program.permissions | S_IRUSR | S_IXUSR, 0) !=
      0) {
    throw PackerError(ErrnoText("cannot make " + PrintableName(program.name) + " runnable", errno));
  }
}

ProcessRequest LaunchRequest(const LaunchCommand& command, const std::string& folder) {
  ProcessRequest request;
  request.program = JoinPath(folder, command.program);
  request.argv.push_back(command.program);
  request.argv.insert(request.argv.end(), command.arguments.begin(), command.arguments.end());
  request.working_folder = folder;
  return request;
}

// Without a runtime folder of the session the player's toolkit would make one under /tmp
// and leave it there: it gets one inside the private folder instead, removed with it.
void GiveRuntimeFolder(const std::string& folder) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) return;
  const std::string path = JoinPath(folder, ".session");
  if (mkdir(path.c_str(), S_IRWXU) == 0) setenv("XDG_RUNTIME_DIR", path.c_str(), 1);
}

}  // namespace

namespace {

// The runtime parts of a package as folders linked into the package's folder.
struct ProvidedRuntime {
  std::vector<std::string> folders;  // one for each part, in the package's order
};

// Provides every runtime part, in the cache where it can.
ProvidedRuntime ProvideRuntime(const Package& package, const std::string& fallback) {
  ProvidedRuntime runtime;
  for (const RuntimePart& part : package.runtime) {
    runtime.folders.push_back(ProvideRuntimePart(package.file.get(), part, fallback));
  }
  return runtime;
}

void LinkRuntime(const ProvidedRuntime& runtime, const std::string& folder) {
  for (const std::string& part : runtime.folders) LinkRuntimeInto(part, folder);
}

// Unpacks the package into folder; a refusal is shown to the person while the folder still
// holds what was unpacked, its player may show it. A folder without room is left to the
// caller.
void UnpackForPlaying(const Package& package, const std::string& folder,
                      const ExtractLimits& limits) {
  try {
    UnpackInto(package, folder, limits);
  } catch (const NoRoomError&) {
    throw;
  } catch (const PackerError& e) {
    ShowFailureNotice(e.what(), JoinPath(folder, package.command.program));
    throw PackerError(e.what(), true);
  }
}

// The folder the player runs in: the package's folder in the cache, unpacked there at its
// first start; else (no cache, no room there) the private folder, unpacked into now.
struct PlayFolder {
  std::unique_ptr<PackageEntry> entry;
  std::string path;
};

PlayFolder ProvidePlayFolder(const Package& package, const std::string& private_folder,
                             const ExtractLimits& limits) {
  PlayFolder play;
  PackageFile file{package.file.get(), package.layout.archive_size,
                   [&](const std::string& folder) { UnpackForPlaying(package, folder, limits); },
                   [&] { CheckArchiveHash(package.span()); }};
  play.entry = ProvidePackageEntry(PackageEntryName(package.layout, package.runtime), file);
  if (play.entry) {
    TrimPackageCache(FolderOf(play.entry->path()));
    play.path = play.entry->path();
    return play;
  }
  UnpackForPlaying(package, private_folder, limits);
  play.path = private_folder;
  return play;
}

// Runs job on a thread of its own beside the caller's work: the runtime is unpacked while
// the clips are. Waits for the job when dropped.
template <typename Job>
auto Beside(Job job) {
  return std::async(std::launch::async, std::move(job));
}

// After the player could not start: unpacks again, into new folders, each runtime part
// whose unpacked files no longer match their hashes. Returns false when every part was
// sound (so unpacking again would not help). Parts the cache cannot take go into the
// private folder; each is linked into the player's folder.
bool RepairRuntime(const Package& package, ProvidedRuntime& runtime,
                   const std::string& private_folder, const std::string& folder) {
  bool repaired = false;
  for (std::size_t i = 0; i < package.runtime.size(); ++i) {
    const std::string damaged = FindDamagedRuntimeFile(runtime.folders[i]);
    if (damaged.empty()) continue;
    std::cerr << "package: the player could not start: its runtime's file "
              << PrintableName(damaged)
              << " is damaged. The runtime is unpacked again and the player started once more.\n";
    runtime.folders[i] = ReplaceRuntimePart(package.file.get(), package.runtime[i],
                                            runtime.folders[i], private_folder);
    LinkRuntimeInto(runtime.folders[i], folder);
    repaired = true;
  }
  return repaired;
}

int RunPlayer(const LaunchCommand& command, const std::string& folder) {
  return ExitCodeOf(RunProcess(LaunchRequest(command, folder)));
}

std::string CouldNotStartReason(const LaunchCommand& command, int code) {
  std::string reason = "the player " + PrintableName(command.program) + " could not start";
  if (code == 127) reason += ": a library it needs is missing on this computer or cannot be loaded";
  return reason + " (exit code " + std::to_string(code) + ")";
}

}  // namespace

// Opens the package; a failure is shown to the person.
std::unique_ptr<Package> OpenPackage(const std::string& package_path) {
  try {
    return std::make_unique<Package>(package_path);
  } catch (const PackerError& e) {
    ShowFailureNotice(e.what());
    throw PackerError(e.what(), true);
  }
}

int RunPackage(const std::string& package_path, const ExtractLimits& limits) {
  InstallInterruptHandlers();
  SweepPackageLeftovers();
  try {
    const std::unique_ptr<Package> package = OpenPackage(package_path);
    const LaunchCommand& command = package->command;
    // Room for the clips (a plain archive's size is theirs) and a runtime the cache cannot
    // take: a folder where it is lacking would only fail.
    const OwnedFolder folder(MakePrivateTempFolder(package->layout.archive_size +
                                                   RuntimeRoomOutsideCache(package->runtime)));
    // Held by the player too, so that the folder stays marked while either runs.
    const FolderLock in_use(folder.path(), true);
    StartMoments moments;
    auto runtime_job = Beside([&] {
      ProvidedRuntime provided = ProvideRuntime(*package, folder.path());
      moments.Mark("runtime_ready");
      return provided;
    });
    const PlayFolder play = ProvidePlayFolder(*package, folder.path(), limits);
    moments.Mark("clips_ready");
    ProvidedRuntime runtime = runtime_job.get();
    LinkRuntime(runtime, play.path);
    GiveRuntimeFolder(folder.path());
    moments.Mark("player_starting");
    moments.Write();
    int code = RunPlayer(command, play.path);
    if (PlayerCouldNotStart(code) && RepairRuntime(*package, runtime, folder.path(), play.path)) {
      code = RunPlayer(command, play.path);
    }
    if (PlayerCouldNotStart(code)) {
      const std::string reason = CouldNotStartReason(command, code);
      ShowFailureNotice(reason);
      throw PackerError(reason, true);
    }
    return code;
  } catch (const PackerError& e) {
    if (e.shown()) throw;
    ShowFailureNotice(e.what());
    throw PackerError(e.what(), true);
  }
}

void ExtractPackage(const std::string& package_path, const std::string& dir,
                    const ExtractLimits& limits) {
  InstallInterruptHandlers();
  const Package package(package_path);
  if (mkdir(dir.c_str(), 0777) != 0) {
    if (errno == EEXIST) throw PackerError(dir + " exists already; name a new folder");
    throw PackerError(ErrnoText("cannot create the folder " + dir, errno));
  }
  OwnedFolder folder(dir);
  auto runtime_job = Beside([&] {
    for (const RuntimePart& part : package.runtime) {
      UnpackRuntimePart(package.file.get(), part, dir);
    }
  });
  UnpackInto(package, dir, limits);
  runtime_job.get();
  folder.Keep();
}

void ListPackage(const std::string& package_path, std::ostream& out, const ExtractLimits& limits) {
  const Package package(package_path);
  const std::vector<PackedFile> files = ReadArchive(package.span(), -1, limits);
  LaunchProgram(package, files);
  for (const PackedFile& file : files) {
    char size[32];
    std::snprintf(size, sizeof size, "%12llu  ", static_cast<unsigned long long>(file.size));
    out << size << Printable(file.name) << "\n";
  }
  for (const RuntimePart& part : package.runtime) {
    out << "runtime part " << HashName(part.hash) << ": " << part.size << " bytes\n";
  }
  out << "launch line: " << Printable(package.layout.launch_line) << "\n";
  errno = 0;
  out.flush();
  if (!out) throw PackerError(ErrnoText("cannot write the list", errno != 0 ? errno : EIO));
}

}  // namespace mw::packer
