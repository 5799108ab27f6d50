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

// Bytes a sample of the file would save if compressed, scaled to the whole file.
double EstimatedSaving(const std::string& path, std::vector<char>& sample,
                       std::vector<char>& packed) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return 0;
  struct stat info {};
  double saving = 0;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    const auto size = static_cast<std::size_t>(info.st_size);
    const std::size_t each = std::min(kSample, size);
    std::size_t taken = 0;
    for (const std::size_t at : {std::size_t(0), (size - each) / 2, size - each}) {
      const ssize_t got = pread(fd, sample.data() + taken, each, static_cast<off_t>(at));
      if (got > 0) taken += static_cast<std::size_t>(got);
      if (size <= kSample) break;  // one sample is the whole file
    }
    const std::size_t out = ZSTD_compress(packed.data(), packed.size(), sample.data(), taken, 1);
    if (taken > 0 && !ZSTD_isError(out) && out < taken) {
      saving = double(taken - out) / double(taken) * double(size);
    }
  }
  close(fd);
  return saving;
}

}  // namespace

bool WorthCompressing(const std::vector<std::string>& paths) {
  std::vector<char> sample(3 * kSample);
  std::vector<char> packed(ZSTD_compressBound(sample.size()));
  double total = 0, saving = 0;
  for (const std::string& path : paths) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    total += double(info.st_size);
    saving += EstimatedSaving(path, sample, packed);
  }
  return total > 0 && saving >= kWorthwhileSaving * total;
}

}  // namespace mw::packer
