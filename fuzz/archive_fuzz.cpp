// Feeds arbitrary bytes to the archive checker and unpacker. Checking and unpacking
// agree; an unpack leaves nothing but plain files in its folder, exactly those it
// reports, each of its declared size.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "memory_file.h"
#include "packer/packer_error.h"
#include "packer/safe_extract.h"

namespace {

// The folder every input unpacks into, emptied after each; made in TMPDIR.
const std::string& UnpackFolder() {
  static const std::string folder = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/mw-archive-fuzz.XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern;
  }();
  return folder;
}

// What the folder holds; aborts on anything but a plain file.
std::set<std::string> PlainFilesIn(int dir_fd, const std::vector<mw::packer::PackedFile>& files) {
  std::set<std::string> names;
  DIR* dir = fdopendir(dup(dir_fd));
  if (dir == nullptr) std::abort();
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat info {};
    if (fstatat(dir_fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) std::abort();
    if (!S_ISREG(info.st_mode) || (info.st_mode & (S_ISUID | S_ISGID)) != 0) std::abort();
    for (const mw::packer::PackedFile& file : files)
      if (file.name == name && static_cast<std::uint64_t>(info.st_size) != file.size) std::abort();
    names.insert(name);
  }
  closedir(dir);
  return names;
}

void EmptyFolder(int dir_fd, const std::set<std::string>& names) {
  for (const std::string& name : names) unlinkat(dir_fd, name.c_str(), 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const mw::fuzz::MemoryFile file(data, size);
  mw::packer::ExtractLimits limits;
  limits.max_entries = 200;
  limits.max_total_bytes = 64 << 20;
  const mw::packer::ArchiveSpan span{file.Fd(), 0, size, {}};
  bool checked = true;
  try {
    mw::packer::ReadArchive(span, -1, limits);
  } catch (const mw::packer::PackerError&) {
    checked = false;
  }
  const int dir_fd = open(UnpackFolder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd < 0) std::abort();
  std::vector<mw::packer::PackedFile> files;
  bool unpacked = true;
  try {
    files = mw::packer::ReadArchive(span, dir_fd, limits);
  } catch (const mw::packer::PackerError&) {
    unpacked = false;
  }
  const std::set<std::string> names = PlainFilesIn(dir_fd, files);
  EmptyFolder(dir_fd, names);
  close(dir_fd);
  if (checked != unpacked) std::abort();
  if (unpacked && names.size() != files.size()) std::abort();
  return 0;
}
