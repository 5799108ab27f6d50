// The peak memory of reading a map of 100,000 marks, against reading the same file's bytes
// alone (the baseline), in the same run: every allocation of the process is counted, and
// the counters give each peak as a multiple of the file's size.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>

#include "map/map_file.h"
#include "map/safe_file.h"

namespace {

// Bytes allocated now and the most allocated at once since the last Reset.
std::atomic<std::size_t> live{0};
std::atomic<std::size_t> peak{0};

void Reset() { peak = live.load(); }

void Count(std::size_t size) {
  const std::size_t now = live += size;
  std::size_t high = peak.load();
  while (now > high && !peak.compare_exchange_weak(high, now)) {
  }
}

}  // namespace

// Every allocation carries its size in front, so that a free can count it off. GCC takes
// the free of a block from these replacements for a mismatch once they are inlined.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  auto* block = static_cast<std::size_t*>(std::malloc(size + 16));
  if (block == nullptr) throw std::bad_alloc();
  *block = size;
  Count(size);
  return reinterpret_cast<char*>(block) + 16;
}
void operator delete(void* memory) noexcept {
  if (memory == nullptr) return;
  auto* block = reinterpret_cast<std::size_t*>(static_cast<char*>(memory) - 16);
  live -= *block;
  std::free(block);
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete[](void* memory) noexcept { operator delete(memory); }
void operator delete(void* memory, std::size_t) noexcept { operator delete(memory); }
void operator delete[](void* memory, std::size_t) noexcept { operator delete(memory); }

namespace {

constexpr int kMarks = 100000;

enum class Kind { Tour, Smallest, Cut };

// One mark's nine lines: as tours have them, the shortest a whole mark can be, or a mark
// cut off after its first number line (which the reader keeps, and which costs a record
// for a few bytes).
std::string MarkLines(Kind kind, int i) {
  const std::string n = std::to_string(i % 1000);
  switch (kind) {
    case Kind::Tour:
      return "/home/user/clips/room" + n + ".jpg\r\n0.250000\r\n0.400000\r\n15\r\n" +
             "/home/user/clips/room" + std::to_string((i + 1) % 1000) +
             ".jpg\r\n<reserved>\r\n598\r\n349\r\nGo to room " + std::to_string(i) + "\r\n";
    case Kind::Smallest:
      return "a\r\n0\r\n0\r\n0\r\nb\r\n\r\n0\r\n0\r\n\r\n";
    case Kind::Cut:
      return "a\r\nx\r\n";
  }
  return {};
}

struct MapFile {
  std::string folder;
  std::string path;
  std::size_t size = 0;
  explicit MapFile(Kind kind) {
    std::string pattern = (std::filesystem::temp_directory_path() / "mwbench.XXXXXX").string();
    folder = mkdtemp(pattern.data());
    path = folder + "/map.clm";
    std::string text = "markweaverdata1.01\r\n610\r\n545\r\n";
    for (int i = 0; i < kMarks; ++i) text += MarkLines(kind, i);
    mw::ReplaceFileContent(path, text);
    size = text.size();
  }
  ~MapFile() { std::filesystem::remove_all(folder); }
};

void ReportPeak(benchmark::State& state, const MapFile& file, std::size_t highest) {
  state.counters["file_MB"] = static_cast<double>(file.size) / 1e6;
  state.counters["peak_x_file"] = static_cast<double>(highest) / static_cast<double>(file.size);
}

void BM_ReadBytesAlone(benchmark::State& state) {
  const MapFile file(Kind::Tour);
  std::size_t highest = 0;
  for (auto _ : state) {
    Reset();
    const std::size_t before = live;
    mw::FileBytes bytes;
    benchmark::DoNotOptimize(mw::ReadRegularFile(file.path, mw::kMaxMapBytes, bytes));
    highest = std::max(highest, peak - before);
  }
  ReportPeak(state, file, highest);
}
BENCHMARK(BM_ReadBytesAlone)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ReadMap(benchmark::State& state) {
  const MapFile file(static_cast<Kind>(state.range(0)));
  std::size_t highest = 0;
  std::size_t marks = 0;
  for (auto _ : state) {
    Reset();
    const std::size_t before = live;
    const mw::MapFileContent content = mw::ReadMapFile(file.path);
    marks = content.marks.Count();
    highest = std::max(highest, peak - before);
  }
  ReportPeak(state, file, highest);
  state.counters["marks"] = static_cast<double>(marks);
}
// 0: marks as tours have them; 1: the shortest whole marks; 2: marks cut off early.
BENCHMARK(BM_ReadMap)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
