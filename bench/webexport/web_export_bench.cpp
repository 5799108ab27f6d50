// The web export beside its baselines, each run in the same iteration:
//   folder export of 20 camera photos of 12 MP vs `cp -r` of the clips (vs_cp, target
//   at most 1.3); the single page vs `base64` of the clips (vs_base64, at most 1.5);
//   converting a standard-definition MPEG-1 clip with sound vs its own length
//   (x_realtime, at least 4; x_realtime_2_free_cores from the processor time it took)
//   and vs decoding it alone (vs_decode).
// MW_BENCH_PHOTOS sets the number of photos.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "../player/camera_photo.h"
#include "map/clip_map.h"
#include "webexport/movie_converter.h"
#include "webexport/web_export.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

double SecondsOf(std::vector<std::string> argv) {
  std::vector<char*> pointers;
  for (std::string& arg : argv) pointers.push_back(arg.data());
  pointers.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  int status = -1;
  if (posix_spawn(&pid, argv[0].c_str(), nullptr, nullptr, pointers.data(), environ) == 0)
    waitpid(pid, &status, 0);
  if (status != 0) throw std::runtime_error("failed: " + argv[0] + " " + argv.back());
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class Silent : public mw::WebExportProgress {
 public:
  void Step(const std::string&) override {}
  void Share(double) override {}
  bool Cancelled() override { return false; }
};

// A folder of camera photos and the map that links them in a ring.
struct PhotoTour {
  std::string root;
  std::string clips;
  mw::ClipMap map;

  PhotoTour() {
    char name[] = "/tmp/mw-web-bench-XXXXXX";
    root = mkdtemp(name);
    clips = root + "/clips";
    fs::create_directory(clips);
    const char* count = std::getenv("MW_BENCH_PHOTOS");
    const int photos = count != nullptr ? std::atoi(count) : 20;
    for (int k = 0; k < photos; ++k) {
      mw::bench::WriteCameraLikePhoto(Photo(k), 4000, 3000, static_cast<unsigned>(k));
    }
    for (int k = 0; k < photos; ++k) {
      mw::ClickerMark mark;
      mark.Clip = Photo(k);
      mark.NextClip = Photo((k + 1) % photos);
      mark.X = mark.Y = 0.5f;
      map.Append(mark);
    }
  }
  ~PhotoTour() { fs::remove_all(root); }

  std::string Photo(int k) const { return clips + "/photo" + std::to_string(k) + ".jpg"; }

  double Export(const std::string& destination) {
    fs::remove_all(destination);
    Silent silent;
    const auto start = std::chrono::steady_clock::now();
    const mw::WebExportResult result =
        mw::ExportForWeb({map, {800, 600}, destination, "Bench", ""}, silent);
    if (result.status != mw::WebExportResult::Status::Made) throw std::runtime_error(result.reason);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
};

// Processor seconds used by the program's finished child processes so far.
double ChildProcessorSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

PhotoTour& Tour() {
  static PhotoTour tour;
  return tour;
}

void BM_FolderExportVsCopy(benchmark::State& state) {
  PhotoTour& tour = Tour();
  double exported = 0, copied = 0;
  for (auto _ : state) {
    fs::remove_all(tour.root + "/copy");
    copied += SecondsOf({"/bin/cp", "-r", tour.clips, tour.root + "/copy"});
    exported += tour.Export(tour.root + "/web");
  }
  state.counters["vs_cp"] = exported / copied;
  state.counters["cp_s"] = benchmark::Counter(copied, benchmark::Counter::kAvgIterations);
  state.counters["export_s"] = benchmark::Counter(exported, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_FolderExportVsCopy)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_SingleFileVsBase64(benchmark::State& state) {
  PhotoTour& tour = Tour();
  double exported = 0, encoded = 0;
  const std::string script = "cat " + tour.clips + "/*.jpg | base64 -w0 > " + tour.root + "/b64";
  for (auto _ : state) {
    encoded += SecondsOf({"/bin/sh", "-c", script});
    exported += tour.Export(tour.root + "/tour.html");
  }
  state.counters["vs_base64"] = exported / encoded;
  state.counters["base64_s"] = benchmark::Counter(encoded, benchmark::Counter::kAvgIterations);
  state.counters["export_s"] = benchmark::Counter(exported, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_SingleFileVsBase64)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_ConvertStandardDefinitionMpeg1(benchmark::State& state) {
  char name[] = "/tmp/mw-web-movie-XXXXXX";
  const std::string root = mkdtemp(name);
  const std::string movie = root + "/sd.mpg";
  constexpr double kSeconds = 20;
  SecondsOf({"/usr/bin/ffmpeg",
             "-loglevel",
             "error",
             "-f",
             "lavfi",
             "-i",
             "testsrc2=size=720x576:rate=25:duration=20",
             "-f",
             "lavfi",
             "-i",
             "sine=frequency=440:duration=20",
             "-c:v",
             "mpeg1video",
             "-b:v",
             "4M",
             "-c:a",
             "mp2",
             "-f",
             "mpeg",
             movie});
  mw::MovieConverter converter;
  double converting = 0, decoding = 0, processor = 0;
  for (auto _ : state) {
    decoding +=
        SecondsOf({"/usr/bin/ffmpeg", "-loglevel", "error", "-i", movie, "-f", "null", "-"});
    fs::remove(root + "/sd.mp4");
    const double processorBefore = ChildProcessorSeconds();
    const auto start = std::chrono::steady_clock::now();
    if (!converter.Convert(movie, root + "/sd.mp4", kSeconds, {}).ok)
      throw std::runtime_error("conversion failed");
    converting += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    processor += ChildProcessorSeconds() - processorBefore;
  }
  const double iterations = static_cast<double>(state.iterations());
  state.counters["x_realtime"] = kSeconds * iterations / converting;
  // What two free cores would give: the movie's length over half the processor time,
  // for a machine shared with other work while it is measured.
  state.counters["x_realtime_2_free_cores"] = kSeconds * iterations / (processor / 2);
  state.counters["vs_decode"] = converting / decoding;
  fs::remove_all(root);
}
BENCHMARK(BM_ConvertStandardDefinitionMpeg1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
