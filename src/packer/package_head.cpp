#include "packer/package_head.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "packer/file_copy.h"
#include "packer/packer_error.h"

namespace mw::packer {
namespace {

class OpenFile {
 public:
  explicit OpenFile(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    if (fd_ < 0) throw PackerError(ErrnoText("cannot open " + path, errno));
    struct stat info {};
    if (fstat(fd_, &info) != 0) {
      close(fd_);
      throw PackerError(ErrnoText("cannot read " + path, errno));
    }
    size_ = info.st_size;
  }
  ~OpenFile() { close(fd_); }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;

  int fd() const { return fd_; }
  off_t size() const { return size_; }

 private:
  int fd_;
  off_t size_ = 0;
};

// Copies exactly the planned size of the file to fd; its hash when asked for.
std::uint64_t CopyPlanned(int fd, const std::string& path, off_t planned, bool hashed) {
  const OpenFile file(path);
  if (file.size() != planned) throw PackerError(path + " changed while the package was built");
  CopyFileBytes(file.fd(), fd, planned, path, "the package");
  if (!hashed) return 0;
  ContentHash hash;
  HashFileBytes(file.fd(), static_cast<std::uint64_t>(planned), path, hash);
  return hash.Value();
}

}  // namespace

HeadPlan PlanHead(const std::string& extractor, const std::vector<std::string>& part_paths) {
  HeadPlan plan;
  plan.extractor = extractor;
  plan.extractor_size = OpenFile(extractor).size();
  plan.part_paths = part_paths;
  std::uint64_t offset = static_cast<std::uint64_t>(plan.extractor_size);
  for (const std::string& path : part_paths) {
    const auto size = static_cast<std::uint64_t>(OpenFile(path).size());
    if (size == 0) throw PackerError("the runtime part " + path + " is empty");
    plan.parts.push_back({offset, size, 0});
    offset += size;
  }
  plan.size = offset + EncodeRuntimeIndex(plan.parts).size();
  return plan;
}

void WriteHead(int fd, HeadPlan plan) {
  CopyPlanned(fd, plan.extractor, plan.extractor_size, false);
  for (std::size_t i = 0; i < plan.parts.size(); ++i) {
    RuntimePart& part = plan.parts[i];
    part.hash = CopyPlanned(fd, plan.part_paths[i], static_cast<off_t>(part.size), true);
  }
  WriteAllBytes(fd, EncodeRuntimeIndex(plan.parts), "the package");
}

}  // namespace mw::packer
