// Building a package of 200 MB of incompressible "photos" and unpacking it for the first
// time, each measured beside `cp -r` of the same files in the same iteration. The counter
// vs_cp is the tool's time divided by the copy's (target: at most 1.5).
//   bench/packer_bench [--gtest-like benchmark flags]; MW_BENCH_MB sets the data size.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

int RunQuietly(std::vector<std::string> argv, const std::string& cwd = "") {
  std::vector<char*> pointers;
  for (std::string& arg : argv) pointers.push_back(arg.data());
  pointers.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  pid_t pid = 0;
  int status = -1;
  if (posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, pointers.data(), environ) == 0) {
    waitpid(pid, &status, 0);
  }
  posix_spawn_file_actions_destroy(&actions);
  return status;
}

double SecondsOf(const std::vector<std::string>& argv, const std::string& cwd = "") {
  const auto start = std::chrono::steady_clock::now();
  if (RunQuietly(argv, cwd) != 0) throw std::runtime_error("failed: " + argv[0]);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A program folder with the three tools, a staging folder of photos (or of one movie) and a
// directive file.
struct Workspace {
  std::string root;
  std::string program;
  std::string staging;
  std::string package;

  explicit Workspace(bool movie = false) {
    char name[] = "/tmp/mw-packer-bench-XXXXXX";
    root = mkdtemp(name);
    program = root + "/program/";
    staging = program + "ptemp/";
    package = root + "/out/bench.exe";
    fs::create_directories(staging);
    fs::create_directories(root + "/out");
    fs::create_directories(root + "/copy");
    const std::string bin = MW_BIN_DIR;
    fs::copy_file(bin + "/MarkWeaverL.dll", program + "MarkWeaverL.dll");
    fs::copy_file(bin + "/kecab.dll", program + "makecab.exe");
    fs::copy_file(bin + "/tract.dll", program + "wextract.exe");
    for (const char* part : {"player-runtime.tar.zst", "player-runtime-movie.tar.zst"})
      fs::create_symlink(bin + "/" + part, program + part);
    fs::copy_file(bin + "/runner.dll", staging + "mwRun.exe");  // the real player
    std::ofstream(staging + "mwRun") << "map\r\n";
    WriteDirective(movie ? WriteMovie() : WritePhotos());
  }
  ~Workspace() { fs::remove_all(root); }

  std::vector<std::string> WritePhotos() {
    const char* mb_text = std::getenv("MW_BENCH_MB");
    const std::size_t total = std::size_t(mb_text ? std::atoi(mb_text) : 200) << 20;
    const std::size_t each = 4 << 20;
    std::mt19937_64 random(42);
    std::vector<std::uint64_t> bytes(each / 8);
    std::vector<std::string> names;
    for (std::size_t done = 0; done < total; done += each) {
      for (auto& word : bytes) word = random();
      names.push_back("photo " + std::to_string(names.size()) + ".jpg");
      std::ofstream(staging + names.back(), std::ios::binary)
          .write(reinterpret_cast<const char*>(bytes.data()), each);
    }
    return names;
  }

  // One small "movie": a package with it carries the movie part of the runtime too.
  std::vector<std::string> WriteMovie() {
    std::ofstream(staging + "walk.mpg", std::ios::binary) << std::string(1 << 20, 'm');
    return {"walk.mpg"};
  }

  void WriteDirective(const std::vector<std::string>& names) {
    std::ofstream out(program + "mwdat.dat", std::ios::binary);
    out << "[Version]\r\nClass=IEXPRESS\r\nSEDVersion=3\r\n[Options]\r\n"
        << "TargetName=%TargetName%\r\nAppLaunched=%AppLaunched%\r\nSourceFiles=SourceFiles\r\n"
        << "[Strings]\r\nTargetName=" << package << "\r\nAppLaunched=mwRun.exe \"bench\"\r\n"
        << "FILE0=\"mwRun.exe\"\r\nFILE1=\"mwRun\"\r\n";
    for (std::size_t k = 0; k < names.size(); ++k) {
      out << "FILE" << k + 2 << "=\"" << names[k] << "\"\r\n";
    }
    out << "[SourceFiles]\r\nSourceFiles0=" << staging << "\r\n[SourceFiles0]\r\n"
        << "%FILE0%=\r\n%FILE1%=\r\n";
    for (std::size_t k = 0; k < names.size(); ++k) out << "%FILE" << k + 2 << "%=\r\n";
  }

  // The baseline: a copy of the clips and of the compressed runtime a photo package carries.
  double CopyOnce() {
    const std::string copy = root + "/copy";
    const double seconds =
        SecondsOf({"/bin/cp", "-rL", staging, program + "player-runtime.tar.zst", copy});
    fs::remove_all(copy);
    fs::create_directory(copy);
    return seconds;
  }

  // Bytes of the package beyond its clips: extractor, player, data file and runtime.
  double BytesBeyondClips() const {
    std::uintmax_t clips = 0;
    for (const auto& entry : fs::directory_iterator(staging))
      if (entry.path().extension() != "" && entry.path().filename() != "mwRun.exe")
        clips += entry.file_size();
    return double(fs::file_size(package) - clips);
  }

  // The editor deletes an old package before it builds a new one; so does the benchmark.
  double BuildOnce() {
    fs::remove(package);
    return SecondsOf({program + "MarkWeaverL.dll", "/N", "/Q", "mwdat.dat"}, program);
  }

  double ExtractOnce() {
    const std::string into = root + "/unpacked";
    const double seconds = SecondsOf({package, "--extract", into});
    fs::remove_all(into);
    return seconds;
  }
};

Workspace& SharedWorkspace() {
  static Workspace workspace;
  return workspace;
}

void Report(benchmark::State& state, double tool, double copy) {
  state.counters["vs_cp"] = tool / copy;
  state.counters["cp_s"] = benchmark::Counter(copy, benchmark::Counter::kAvgIterations);
}

void BM_BuildPackageVsCopy(benchmark::State& state) {
  Workspace& w = SharedWorkspace();
  double tool = 0, copy = 0;
  for (auto _ : state) {
    copy += w.CopyOnce();
    const double seconds = w.BuildOnce();
    tool += seconds;
    state.SetIterationTime(seconds);
  }
  Report(state, tool, copy);
  state.counters["beyond_clips_MB"] = w.BytesBeyondClips() / 1e6;
}

void BM_FirstExtractionVsCopy(benchmark::State& state) {
  Workspace& w = SharedWorkspace();
  if (!fs::exists(w.package)) w.BuildOnce();
  double tool = 0, copy = 0;
  for (auto _ : state) {
    copy += w.CopyOnce();
    const double seconds = w.ExtractOnce();
    tool += seconds;
    state.SetIterationTime(seconds);
  }
  Report(state, tool, copy);
}

// The room a movie package takes beyond its clips (target: at most 90 MB), beside the
// photo package's.
void BM_MoviePackageSize(benchmark::State& state) {
  static Workspace movie(true);
  for (auto _ : state) state.SetIterationTime(movie.BuildOnce());
  state.counters["beyond_clips_MB"] = movie.BytesBeyondClips() / 1e6;
  state.counters["photo_beyond_clips_MB"] = [] {
    Workspace& photos = SharedWorkspace();
    if (!fs::exists(photos.package)) photos.BuildOnce();
    return photos.BytesBeyondClips() / 1e6;
  }();
}

BENCHMARK(BM_BuildPackageVsCopy)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstExtractionVsCopy)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MoviePackageSize)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
