// Loading and saving a map of 100,000 marks, each beside merely reading or writing
// the same bytes.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "map/map_file.h"
#include "map/safe_file.h"

namespace {

constexpr int kMarks = 100000;

mw::ClipMap MakeMap() {
  mw::ClipMap map;
  for (int i = 0; i < kMarks; ++i) {
    mw::ClickerMark m;
    m.Clip = "/home/user/clips/room" + std::to_string(i % 1000) + ".jpg";
    m.X = static_cast<float>(i % 597) / 598;
    m.Y = static_cast<float>(i % 347) / 349;
    m.Size = 5 + i % 95;
    m.NextClip = "/home/user/clips/room" + std::to_string((i + 1) % 1000) + ".jpg";
    m.Reserved = "<reserved>";
    m.AreaWidth = 598;
    m.AreaHeight = 349;
    m.Hint = "Go to room " + std::to_string(i);
    map.Append(m);
  }
  return map;
}

struct Fixture {
  std::string folder;
  std::string path;
  mw::ClipMap map = MakeMap();
  std::string bytes;
  Fixture() {
    std::string pattern = (std::filesystem::temp_directory_path() / "mwbench.XXXXXX").string();
    folder = mkdtemp(pattern.data());
    path = folder + "/big.clm";
    mw::WriteMapFile(path, {610, 545}, map.Marks());
    mw::ReadWholeFile(path, bytes);
  }
  ~Fixture() { std::filesystem::remove_all(folder); }
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

void Report(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(Shared().bytes.size()));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kMarks);
}

void BM_LoadMap(benchmark::State& state) {
  for (auto _ : state) {
    mw::MapFileContent content = mw::ReadMapFile(Shared().path);
    benchmark::DoNotOptimize(content.marks.Count());
  }
  Report(state);
}

// The same bytes read from the page cache into a buffer that is already in memory.
void BM_RawRead(benchmark::State& state) {
  std::vector<char> buffer(Shared().bytes.size() + 1);
  for (auto _ : state) {
    int fd = open(Shared().path.c_str(), O_RDONLY | O_CLOEXEC);
    std::size_t used = 0;
    for (ssize_t got; (got = read(fd, buffer.data() + used, buffer.size() - used)) > 0;)
      used += static_cast<std::size_t>(got);
    close(fd);
    benchmark::DoNotOptimize(buffer.data());
    if (used != Shared().bytes.size()) state.SkipWithError("short read");
  }
  Report(state);
}

void BM_SaveMap(benchmark::State& state) {
  for (auto _ : state) mw::WriteMapFile(Shared().path, {610, 545}, Shared().map.Marks());
  Report(state);
}

// The same bytes written to a new file, flushed to disk and renamed into place.
void BM_RawWrite(benchmark::State& state) {
  std::string temp = Shared().path + ".raw";
  for (auto _ : state) {
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    benchmark::DoNotOptimize(write(fd, Shared().bytes.data(), Shared().bytes.size()));
    fsync(fd);
    close(fd);
    rename(temp.c_str(), Shared().path.c_str());
  }
  Report(state);
}

BENCHMARK(BM_RawRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadMap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveMap)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
