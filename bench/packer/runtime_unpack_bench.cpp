// Unpacking the gathered photo runtime as the build packs it (two zstd frames, one thread
// each) against the same tar stream packed as one frame (one thread), alternating in the same
// process, each into a fresh folder. The counter vs_one_frame is the median time of the two
// frames divided by the median of the one (lower is better); the machine's other work shows
// in the medians, less in the fastest times (min_ms), whose ratio is vs_one_frame_min.
//   bench/runtime_unpack_bench; MW_BENCH_LEVEL sets the one frame's zstd level (default 19,
//   the level the build packs at). Making the one frame takes half a minute at level 19.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>
#include <zstd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "packer/package_trailer.h"
#include "packer/runtime_unpack.h"

namespace {

namespace fs = std::filesystem;
using mw::packer::RuntimePart;

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// The tar stream the frames hold, one after the other.
std::string Decompressed(const std::string& part) {
  ZSTD_DCtx* context = ZSTD_createDCtx();
  std::string out;
  std::vector<char> buffer(ZSTD_DStreamOutSize());
  ZSTD_inBuffer in{part.data(), part.size(), 0};
  while (in.pos < in.size) {
    ZSTD_outBuffer piece{buffer.data(), buffer.size(), 0};
    const std::size_t status = ZSTD_decompressStream(context, &piece, &in);
    if (ZSTD_isError(status)) throw std::runtime_error(ZSTD_getErrorName(status));
    out.append(buffer.data(), piece.pos);
  }
  ZSTD_freeDCtx(context);
  return out;
}

std::string OneFrame(const std::string& bytes, int level) {
  std::string out(ZSTD_compressBound(bytes.size()), '\0');
  const std::size_t size = ZSTD_compress(out.data(), out.size(), bytes.data(), bytes.size(), level);
  if (ZSTD_isError(size)) throw std::runtime_error(ZSTD_getErrorName(size));
  out.resize(size);
  return out;
}

// A part written to a file of its own, open for reading.
struct PartFile {
  PartFile(const std::string& path, const std::string& bytes)
      : part{0, bytes.size(), mw::packer::HashOfBytes(bytes)} {
    std::ofstream(path, std::ios::binary) << bytes;
    fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  }
  ~PartFile() { close(fd); }
  RuntimePart part;
  int fd = -1;
};

struct Workspace {
  std::string root;
  std::unique_ptr<PartFile> two_frames, one_frame;

  Workspace() {
    char name[] = "/tmp/mw-runtime-bench-XXXXXX";
    root = mkdtemp(name);
    const std::string gathered = ReadWhole(std::string(MW_BIN_DIR) + "/player-runtime.tar.zst");
    const char* level = std::getenv("MW_BENCH_LEVEL");
    two_frames = std::make_unique<PartFile>(root + "/two.tar.zst", gathered);
    one_frame = std::make_unique<PartFile>(
        root + "/one.tar.zst", OneFrame(Decompressed(gathered), level ? std::atoi(level) : 19));
  }
  ~Workspace() { fs::remove_all(root); }

  double UnpackOnce(const PartFile& file) {
    const std::string into = root + "/unpacked";
    fs::create_directory(into);
    const auto start = std::chrono::steady_clock::now();
    mw::packer::UnpackRuntimePart(file.fd, file.part, into);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    fs::remove_all(into);
    return seconds;
  }
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void BM_PhotoRuntimeTwoFramesVsOne(benchmark::State& state) {
  static Workspace w;
  std::vector<double> one, two;
  for (auto _ : state) {
    // Each goes first every other round, so that neither always meets a warmer cache.
    const bool one_first = one.size() % 2 == 0;
    if (one_first) one.push_back(w.UnpackOnce(*w.one_frame));
    two.push_back(w.UnpackOnce(*w.two_frames));
    if (!one_first) one.push_back(w.UnpackOnce(*w.one_frame));
    state.SetIterationTime(two.back());
  }
  state.counters["one_frame_ms"] = Median(one) * 1e3;
  state.counters["two_frames_ms"] = Median(two) * 1e3;
  state.counters["vs_one_frame"] = Median(two) / Median(one);
  const double one_min = *std::min_element(one.begin(), one.end());
  const double two_min = *std::min_element(two.begin(), two.end());
  state.counters["one_frame_min_ms"] = one_min * 1e3;
  state.counters["two_frames_min_ms"] = two_min * 1e3;
  state.counters["vs_one_frame_min"] = two_min / one_min;
  state.counters["one_frame_MB"] = double(w.one_frame->part.size) / 1e6;
  state.counters["two_frames_MB"] = double(w.two_frames->part.size) / 1e6;
}

BENCHMARK(BM_PhotoRuntimeTwoFramesVsOne)
    ->UseManualTime()
    ->Iterations(21)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
