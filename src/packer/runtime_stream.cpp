#include "packer/runtime_stream.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <set>
#include <sstream>
#include <string_view>
#include <utility>

#include "packer/program_folder.h"
#include "packer/runtime_unpack.h"
#include "packer/span_source.h"

namespace mw::packer {
namespace {

constexpr int kMaxDepth = 4;
constexpr std::uint64_t kMaxRuntimeEntries = 2000;
constexpr std::uint64_t kMaxRuntimeBytes = std::uint64_t{2} << 30;

struct ReadDeleter {
  void operator()(archive* a) const { archive_read_free(a); }
};

[[noreturn]] void CannotWrite(const std::string& what, int error) {
  throw RuntimeWriteError(ErrnoText("cannot write the player's runtime into " + what, error));
}

// Refuses the part with libarchive's word on why it could not be read.
[[noreturn]] void RefuseUnreadable(archive* a) {
  const char* why = archive_error_string(a);
  RefuseRuntime(why ? why : "it cannot be read");
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
      RefuseRuntime("\"" + name + "\" is not a plain relative name");
    }
  }
  return name;
}

// The folders a stream has named so far. A stream names each entry's folder before the entry,
// so that it never depends on another stream having made the folder already.
class NamedFolders {
 public:
  // Refuses the entry unless its folder was named before it.
  void CheckFolderOf(const std::string& name) const {
    const auto slash = name.rfind('/');
    if (slash != std::string::npos && !folders_.count(name.substr(0, slash))) {
      RefuseRuntime("\"" + name + "\" comes before its folder");
    }
  }
  void Add(const std::string& name) { folders_.insert(name); }

 private:
  std::set<std::string> folders_;
};

// Makes the folder; one there already (made by another stream of the part) is the same
// folder, anything else in its place is refused.
void MakeFolder(const std::string& path, const std::string& name) {
  if (mkdir(path.c_str(), S_IRWXU) == 0) return;
  const int error = errno;
  struct stat info {};
  if (error == EEXIST && lstat(path.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return;
    RefuseRuntime("\"" + name + "\" is named twice");
  }
  CannotWrite(path, error);
}

class OutFile {
 public:
  // Opens the file for writing: a new one, or with replace an earlier one written over.
  // Whether it opened is told by fd(), with errno set when it did not.
  OutFile(const std::string& path, mode_t mode, bool replace)
      : fd_(open(path.c_str(),
                 O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (replace ? O_TRUNC : O_EXCL),
                 mode)) {}
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

// Writes the entry's content to a new file block by block; returns the content's hash.
std::uint64_t WriteContent(archive* a, const std::string& path, const std::string& name,
                           mode_t mode, std::uint64_t size) {
  OutFile out(path, mode, false);
  if (out.fd() < 0 && errno == EEXIST) RefuseRuntime("\"" + name + "\" is named twice");
  if (out.fd() < 0) CannotWrite(path, errno);
  ContentHash hash;
  std::uint64_t written = 0;
  for (;;) {
    const void* block = nullptr;
    size_t length = 0;
    la_int64_t offset = 0;
    const int status = archive_read_data_block(a, &block, &length, &offset);
    if (status == ARCHIVE_EOF) break;
    if (status != ARCHIVE_OK) RefuseUnreadable(a);
    if (static_cast<std::uint64_t>(offset) != written || length > size - written) {
      RefuseRuntime(path + " is not laid out as a plain file");
    }
    hash.Add(block, length);
    WriteBytes(out.fd(), std::string_view(static_cast<const char*>(block), length), path);
    written += length;
  }
  if (written != size) RefuseRuntime(path + " is not laid out as a plain file");
  if (out.Close() != 0) CannotWrite(path, errno);
  return hash.Value();
}

// Unpacks every entry of the open archive into dir; returns the list of files.
std::string UnpackEntries(archive* a, const std::string& dir, RuntimeBudget& budget) {
  std::string list;
  NamedFolders folders;
  archive_entry* entry = nullptr;
  for (int status;
       !budget.Stopped() && (status = archive_read_next_header(a, &entry)) != ARCHIVE_EOF;) {
    if (status != ARCHIVE_OK) RefuseUnreadable(a);
    budget.TakeEntry();
    const std::string name = CheckedName(entry);
    if (name.empty()) continue;
    folders.CheckFolderOf(name);
    const std::string path = JoinPath(dir, name);
    const auto type = archive_entry_filetype(entry);
    if (type == AE_IFDIR && !archive_entry_hardlink(entry)) {
      MakeFolder(path, name);
      folders.Add(name);
      continue;
    }
    if (type != AE_IFREG || archive_entry_hardlink(entry)) {
      RefuseRuntime(name + " is not a regular file");
    }
    const auto size = static_cast<std::uint64_t>(archive_entry_size(entry));
    budget.TakeBytes(size);
    const mode_t mode = static_cast<mode_t>(archive_entry_perm(entry) & 0755) | S_IRUSR;
    const std::uint64_t hash = WriteContent(a, path, name, mode, size);
    list += std::to_string(size) + " " + HashName(hash) + " " + name + "\n";
  }
  return list;
}

}  // namespace

void RefuseRuntime(const std::string& why) {
  throw PackerError("the package's runtime is refused: " + why);
}

void RuntimeBudget::TakeEntry() {
  if (entries_.fetch_add(1) + 1 > kMaxRuntimeEntries) RefuseRuntime("it holds too many files");
}

void RuntimeBudget::TakeBytes(std::uint64_t size) {
  if (size > kMaxRuntimeBytes || bytes_.fetch_add(size) + size > kMaxRuntimeBytes) {
    RefuseRuntime("it is too large");
  }
}

std::string UnpackRuntimeStream(const ArchiveSpan& span, std::optional<ContentHash>& hash,
                                const std::string& dir, RuntimeBudget& budget) {
  SpanSource source(span, hash);
  std::unique_ptr<archive, ReadDeleter> a(archive_read_new());
  if (!a) throw PackerError("out of memory");
  archive_read_support_filter_zstd(a.get());
  archive_read_support_format_tar(a.get());
  if (archive_read_open(a.get(), &source, nullptr, SpanSource::Read, nullptr) != ARCHIVE_OK) {
    RefuseUnreadable(a.get());
  }
  std::string list = UnpackEntries(a.get(), dir, budget);
  if (!budget.Stopped()) hash = source.FinishHashing();
  return list;
}

void WriteRuntimeFileList(const std::string& dir, const std::string& list) {
  const std::string path = JoinPath(dir, kRuntimeFileList);
  OutFile out(path, 0600, true);
  if (out.fd() < 0) CannotWrite(path, errno);
  WriteBytes(out.fd(), list, path);
  if (out.Close() != 0) CannotWrite(path, errno);
}

}  // namespace mw::packer
