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
#include <optional>
#include <vector>

#include "packer/clips_for_playing.h"
#include "packer/early_start.h"
#include "packer/failure_notice.h"
#include "packer/leftover_sweep.h"
#include "packer/opened_package.h"
#include "packer/package_cache.h"
#include "packer/package_trailer.h"
#include "packer/packer_error.h"
#include "packer/process.h"
#include "packer/program_folder.h"
#include "packer/runtime_cache.h"
#include "packer/runtime_parts.h"
#include "packer/start_moments.h"
#include "packer/temp_folder.h"
#include "packer/unpack_gate.h"

namespace mw::packer {
namespace {

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

// The player's start in its folder, with the gate when one is given.
ProcessRequest PlayerRequest(const LaunchCommand& command, const std::string& folder,
                             int gate_fd = -1) {
  ProcessRequest request = LaunchRequest(command, folder);
  if (gate_fd >= 0) {
    request.extra_fd = gate_fd;
    request.environment.push_back(std::string(kUnpackGateVariable) + "=3");
  }
  return request;
}

int RunPlayer(const LaunchCommand& command, const std::string& folder) {
  return ExitCodeOf(RunProcess(PlayerRequest(command, folder)));
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

namespace {

// Starts the player in the folder where its start files are in place while the clips after
// them still unpack. When the clips' unpacking fails meanwhile, its own failure is what the
// person hears of.
void StartPlayerEarly(SharedStart& start, const ProvidedRuntime& runtime,
                      const std::string& folder, StartMoments& moments) {
  try {
    LinkRuntime(runtime, folder);
    moments.Mark("player_starting");
    moments.Write();
    start.early.Start(PlayerRequest(start.package.command, folder, start.gate.read_end()));
  } catch (const PackerError&) {
    if (!start.early.Cancelled()) throw;
  }
}

// Runs the player in the folder where every file is in place, unless it runs already; gives
// its exit code.
int PlayToTheEnd(SharedStart& start, const PlayFolder& play, const ProvidedRuntime& runtime,
                 StartMoments& moments) {
  if (const std::optional<ProcessResult> early = start.early.Wait()) return ExitCodeOf(*early);
  LinkRuntime(runtime, play.path);
  moments.Mark("player_starting");
  moments.Write();
  return RunPlayer(start.package.command, play.path);
}

}  // namespace

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
    GiveRuntimeFolder(folder.path());
    StartMoments moments;
    SharedStart start{*package, limits, {}, {}};
    auto runtime_job = Beside([&] {
      const SignalAtEnd over(start.early, &EarlyStart::RuntimeOver);
      ProvidedRuntime provided = ProvideRuntime(*package, folder.path());
      moments.Mark("runtime_ready");
      return provided;
    });
    auto clip_job = Beside([&] {
      PlayFolder play = UnpackClipsForPlaying(start, folder.path());
      moments.Mark("clips_ready");
      return play;
    });
    const std::string early_folder = start.early.WaitForStartFolder();
    ProvidedRuntime runtime;
    {
      const SignalAtEnd release(start.early, &EarlyStart::ReleaseClips);
      runtime = runtime_job.get();
      if (!early_folder.empty()) StartPlayerEarly(start, runtime, early_folder, moments);
    }
    PlayFolder play = clip_job.get();
    start.gate.Close();
    moments.Write();
    int code = PlayToTheEnd(start, play, runtime, moments);
    if (PlayerCouldNotStart(code) && RepairRuntime(*package, runtime, folder.path(), play.path)) {
      code = RunPlayer(command, play.path);
    }
    if (PlayerCouldNotStart(code)) {
      const std::string reason = CouldNotStartReason(command, code);
      ShowFailureNotice(reason);
      throw PackerError(reason, true);
    }
    return code;
  } catch (const InterruptedError&) {
    throw;  // the person asked for the end: nothing to tell
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
