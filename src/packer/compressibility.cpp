#include "packer/compressibility.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zstd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace mw::packer {
namespace {

constexpr std::size_t kSample = 16 << 10;
constexpr double kWorthwhileSaving = 0.05;

struct Estimate {
  double size = 0;    // the file's bytes
  double saving = 0;  // what compressing would save of them, scaled up from the samples
};

// A file that cannot be read, or is not a regular file, counts for nothing.
Estimate EstimateFile(const std::string& path, std::vector<char>& sample,
                      std::vector<char>& packed) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return {};
  struct stat info {};
  Estimate estimate;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    const auto size = static_cast<std::size_t>(info.st_size);
    const std::size_t each = std::min(kSample, size);
    std::size_t taken = 0;
    for (const std::size_t at : {std::size_t(0), (size - each) / 2, size - each}) {
      const ssize_t got = pread(fd, sample.data() + taken, each, static_cast<off_t>(at));
      if (got > 0) taken += static_cast<std::size_t>(got);
      if (size <= kSample) break;  // one sample is the whole file
    }
    estimate.size = double(size);
    const std::size_t out = ZSTD_compress(packed.data(), packed.size(), sample.data(), taken, 1);
    if (taken > 0 && !ZSTD_isError(out) && out < taken) {
      estimate.saving = double(taken - out) / double(taken) * estimate.size;
    }
  }
  close(fd);
  return estimate;
}

}  // namespace

bool WorthCompressing(const std::vector<std::string>& paths) {
  std::vector<char> sample(3 * kSample);
  std::vector<char> packed(ZSTD_compressBound(sample.size()));
  double total = 0, saving = 0;
  for (const std::string& path : paths) {
    const Estimate estimate = EstimateFile(path, sample, packed);
    total += estimate.size;
    saving += estimate.saving;
  }
  return total > 0 && saving >= kWorthwhileSaving * total;
}

}  // namespace mw::packer
