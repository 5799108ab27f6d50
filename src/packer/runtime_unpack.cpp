#include "packer/runtime_unpack.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string_view>
#include <utility>
#include <vector>

#include "packer/file_copy.h"
#include "packer/program_folder.h"
#include "packer/span_source.h"

namespace mw::packer {
namespace {

// Written last into an unpacked part: one "size hash name" line per file.
constexpr const char* kFileList = ".complete";
constexpr int kMaxDepth = 4;
constexpr std::uint64_t kMaxRuntimeEntries = 2000;
constexpr std::uint64_t kMaxRuntimeBytes = std::uint64_t{2} << 30;

struct ReadDeleter {
  void operator()(archive* a) const { archive_read_free(a); }
};

[[noreturn]] void Refuse(const std::string& why) {
  throw PackerError("the package's runtime is refused: " + why);
}

[[noreturn]] void CannotWrite(const std::string& what, int error) {
  throw RuntimeWriteError(ErrnoText("cannot write the player's runtime into " + what, error));
}

// The entry's name without a leading "./"; refused unless every step is a plain name.
std::string CheckedName(archive_entry* entry) {
  const char* raw = archive_entry_pathname(entry);
  std::string name = raw ? raw : "";
  if (name.starts_with("./")) name.erase(0, 2);
  while (!name.empty() && name.back() == '/') name.pop_back();
  if (name.empty() || name == ".") return "";
  int depth = 0;
  std::istringstream steps(name);
  for (std::string step; std::getline(steps, step, '/');) {
    if (step.empty() || step == "." || step == ".." || ++depth > kMaxDepth) {
      Refuse("\"" + name + "\" is not a plain relative name");
    }
  }
  return name;
}

class OutFile {
 public:
  // A new file; with replace an earlier file of that name is written over.
  OutFile(const std::string& path, mode_t mode, bool replace = false)
      : fd_(open(path.c_str(),
                 O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (replace ? O_TRUNC : O_EXCL),
                 mode)) {
    if (fd_ < 0) CannotWrite(path, errno);
  }
  ~OutFile() {
    if (fd_ >= 0) close(fd_);
  }
  OutFile(const OutFile&) = delete;
  OutFile& operator=(const OutFile&) = delete;
  int fd() const { return fd_; }
  int Close() { return close(std::exchange(fd_, -1)); }

 private:
  int fd_;
};

// Writes all of bytes to fd; throws RuntimeWriteError naming path.
void WriteBytes(int fd, std::string_view bytes, const std::string& path) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) CannotWrite(path, errno);
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

// Writes the entry's content to path block by block; returns the content's hash.
std::uint64_t WriteContent(archive* a, const std::string& path, mode_t mode,
                           std::uint64_t size) {
  OutFile out(path, mode);
  ContentHash hash;
  std::uint64_t written = 0;
  for (;;) {
    const void* block = nullptr;
    size_t length = 0;
    la_int64_t offset = 0;
    const int status = archive_read_data_block(a, &block, &length, &offset);
    if (status == ARCHIVE_EOF) break;
    if (status != ARCHIVE_OK) Refuse(path + ": " + archive_error_string(a));
    if (static_cast<std::uint64_t>(offset) != written || length > size - written) {
      Refuse(path + " is not laid out as a plain file");
    }
    hash.Add(block, length);
    WriteBytes(out.fd(), std::string_view(static_cast<const char*>(block), length), path);
    written += length;
  }
  if (written != size) Refuse(path + " is not laid out as a plain file");
  if (out.Close() != 0) CannotWrite(path, errno);
  return hash.Value();
}

// Writes the list of files, sizes and hashes that the checks of a folder read.
void WriteFileList(const std::string& dir, const std::string& list) {
  const std::string path = JoinPath(dir, kFileList);
  OutFile out(path, 0600, true);  // two parts unpacked into one folder share it
  WriteBytes(out.fd(), list, path);
  if (out.Close() != 0) CannotWrite(path, errno);
}

// Unpacks every entry of the open archive into dir; returns the list of files.
std::string UnpackEntries(archive* a, const std::string& dir) {
  std::string list;
  std::uint64_t count = 0, total = 0;
  archive_entry* entry = nullptr;
  for (int status; (status = archive_read_next_header(a, &entry)) != ARCHIVE_EOF;) {
    if (status != ARCHIVE_OK) Refuse(archive_error_string(a));
    if (++count > kMaxRuntimeEntries) Refuse("it holds too many files");
    const std::string name = CheckedName(entry);
    const std::string path = JoinPath(dir, name);
    const auto type = archive_entry_filetype(entry);
    if (name.empty() || (type == AE_IFDIR && mkdir(path.c_str(), S_IRWXU) == 0)) continue;
    if (type == AE_IFDIR) CannotWrite(path, errno);
    if (type != AE_IFREG || archive_entry_hardlink(entry)) Refuse(name + " is not a regular file");
    const auto size = static_cast<std::uint64_t>(archive_entry_size(entry));
    if ((total += size) > kMaxRuntimeBytes) Refuse("it is too large");
    const mode_t mode = static_cast<mode_t>(archive_entry_perm(entry) & 0755) | S_IRUSR;
    const std::uint64_t hash = WriteContent(a, path, mode, size);
    list += std::to_string(size) + " " + HashName(hash) + " " + name + "\n";
  }
  return list;
}

// One line of a folder's list of files.
struct ListedFile {
  std::uint64_t size = 0;
  std::string hash;
  std::string name;
};

// Reads the folder's list of files; false when it is missing or malformed.
bool ReadFileList(const std::string& folder, std::vector<ListedFile>& files) {
  std::ifstream in(JoinPath(folder, kFileList), std::ios::binary);
  if (!in) return false;
  ListedFile file;
  while (in >> file.size && in.get() == ' ' && std::getline(in, file.hash, ' ') &&
         std::getline(in, file.name)) {
    if (file.hash.size() != 16) return false;
    files.push_back(file);
  }
  return in.eof();
}

}  // namespace

void UnpackRuntimePart(int fd, const RuntimePart& part, const std::string& dir) {
  SpanSource source({fd, part.offset, part.size, part.hash});
  std::unique_ptr<archive, ReadDeleter> a(archive_read_new());
  if (!a) throw PackerError("out of memory");
  archive_read_support_filter_zstd(a.get());
  archive_read_support_format_tar(a.get());
  std::string list;
  try {
    if (archive_read_open(a.get(), &source, nullptr, SpanSource::Read, nullptr) != ARCHIVE_OK) {
      Refuse(archive_error_string(a.get()));
    }
    list = UnpackEntries(a.get(), dir);
  } catch (const RuntimeWriteError&) {
    throw;
  } catch (const PackerError&) {
    // Damage breaks rules of its own: it is named as what it is.
    if (source.FinishHash() != part.hash) Refuse("it is damaged (it does not match its check)");
    throw;
  }
  if (source.FinishHash() != part.hash) Refuse("it is damaged (it does not match its check)");
  WriteFileList(dir, list);
}

bool IsCompleteRuntimeFolder(const std::string& folder) {
  std::vector<ListedFile> files;
  if (!ReadFileList(folder, files)) return false;
  for (const ListedFile& file : files) {
    struct stat info {};
    const std::string path = JoinPath(folder, file.name);
    if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::uint64_t>(info.st_size) != file.size) {
      return false;
    }
  }
  return true;
}

std::string FindDamagedRuntimeFile(const std::string& folder) {
  std::vector<ListedFile> files;
  if (!ReadFileList(folder, files)) return kFileList;
  for (const ListedFile& file : files) {
    const std::string path = JoinPath(folder, file.name);
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return file.name;
    struct stat info {};
    ContentHash hash;
    bool read = fstat(fd, &info) == 0 && static_cast<std::uint64_t>(info.st_size) == file.size;
    try {
      if (read) HashFileBytes(fd, file.size, path, hash);
    } catch (const PackerError&) {
      read = false;
    }
    close(fd);
    if (!read || HashName(hash.Value()) != file.hash) return file.name;
  }
  return "";
}

}  // namespace mw::packer
