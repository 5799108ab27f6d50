// Relinking a map of 1,000 marks over 300 moved clips in a folder of 10,000 files, against
// a bare recursive listing of that folder, on the same files in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_folder.h"
#include "map/map_file.h"
#include "travel/relink.h"
#include "travel/travel_command.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 100;  // 10,000 files in all
constexpr int kClips = 300;
constexpr int kMarks = 1000;

std::string Name(const char* prefix, int number) {
  char text[16];
  std::snprintf(text, sizeof text, "%s%03d", prefix, number);
  return text;
}

// 100 folders of 100 small files under "tour", each file name found in every folder, so
// every clip is told apart by its folder; a map whose 300 clips lie under a folder that
// is gone.
struct Fixture {
  mw::bench::BenchFolder folder;
  std::string tour = folder.File("tour");
  std::string mapPath = folder.File("tour/tour.clm");
  std::string mapText;
  mw::ClipMap map;

  Fixture() {
    for (int d = 0; d < kFolders; ++d) {
      const std::string sub = tour + "/" + Name("d", d);
      fs::create_directories(sub);
      for (int f = 0; f < kFilesPerFolder; ++f)
        std::ofstream(sub + "/" + Name("f", f) + ".jpg") << "x";
    }
    std::vector<std::string> clips;
    for (int k = 0; k < kClips; ++k)
      clips.push_back("/old/place/tour/" + Name("d", k % kFolders) + "/" + Name("f", k / kFolders) +
                      ".jpg");
    for (int k = 0; k < kMarks; ++k) {
      mw::ClickerMark mark;
      mark.Clip = clips[static_cast<std::size_t>(k % kClips)];
      mark.NextClip = clips[static_cast<std::size_t>((k + 7) % kClips)];
      mark.Hint = "mark " + std::to_string(k);
      map.Append(mark);
    }
    mapText = mw::FormatMap({640, 520}, map.Marks());
  }
};

Fixture& Tour() {
  static Fixture fixture;
  return fixture;
}

// The baseline: every entry of the folder listed, nothing else.
void BM_BareRecursiveListing(benchmark::State& state) {
  const Fixture& fixture = Tour();
  for (auto _ : state) {
    std::size_t entries = 0;
    for (const auto& entry : fs::recursive_directory_iterator(fixture.tour)) {
      benchmark::DoNotOptimize(entry.path().native().data());
      ++entries;
    }
    benchmark::DoNotOptimize(entries);
  }
}
BENCHMARK(BM_BareRecursiveListing)->Unit(benchmark::kMillisecond);

// The relink itself: the missing clips found, the folder searched, the marks changed.
void BM_RelinkMap(benchmark::State& state) {
  const Fixture& fixture = Tour();
  for (auto _ : state) {
    const mw::RelinkPlan plan = mw::PlanRelink(fixture.map, fixture.tour, fixture.tour);
    mw::ClipMap relinked = fixture.map;
    if (!plan.Complete() || mw::ApplyClipRenames(relinked, plan.renames) != kMarks)
      state.SkipWithError("not every clip was relinked");
    benchmark::DoNotOptimize(relinked);
  }
}
BENCHMARK(BM_RelinkMap)->Unit(benchmark::kMillisecond);

// The whole command: the map read, relinked and saved safely (fsync included).
void BM_RelinkCommand(benchmark::State& state) {
  const Fixture& fixture = Tour();
  std::FILE* sink = std::fopen("/dev/null", "w");
  for (auto _ : state) {
    state.PauseTiming();
    std::ofstream(fixture.mapPath, std::ios::binary | std::ios::trunc) << fixture.mapText;
    state.ResumeTiming();
    if (mw::RunRelinkCommand(fixture.mapPath, std::nullopt, sink, sink) != 0)
      state.SkipWithError("the command did not relink every clip");
  }
  std::fclose(sink);
}
BENCHMARK(BM_RelinkCommand)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
