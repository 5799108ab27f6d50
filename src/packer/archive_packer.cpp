#include "packer/archive_packer.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <set>
#include <string_view>
#include <system_error>
#include <utility>

#include "packer/archive_output.h"
#include "packer/compressibility.h"
#include "packer/file_copy.h"
#include "packer/packer_error.h"

namespace mw::packer {
namespace {

constexpr std::size_t kChunk = 1 << 20;

struct ArchiveDeleter {
  void operator()(archive* a) const { archive_write_free(a); }
};
using WriteArchive = std::unique_ptr<archive, ArchiveDeleter>;

struct EntryDeleter {
  void operator()(archive_entry* e) const { archive_entry_free(e); }
};

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

la_ssize_t QueueWrite(archive* a, void* client, const void* buffer, size_t size) {
  auto* output = static_cast<ArchiveOutput*>(client);
  try {
    output->Take(std::string_view(static_cast<const char*>(buffer), size));
  } catch (const PackerError& e) {
    archive_set_error(a, EIO, "%s", e.what());
    return -1;
  } catch (const std::exception&) {
    archive_set_error(a, ENOMEM, "cannot write the archive");
    return -1;
  }
  return static_cast<la_ssize_t>(size);
}

void Check(archive* a, int status, const std::string& what) {
  if (status == ARCHIVE_OK) return;
  const char* reason = archive_error_string(a);
  throw PackerError(what + ": " + (reason ? reason : "archive error"));
}

// Tar with pax headers where a name needs one; file names are stored as raw bytes,
// whatever the locale; no padding beyond the archive's last block.
void SetUpTar(archive* a) {
  Check(a, archive_write_set_format_pax_restricted(a), "cannot set up tar");
  Check(a, archive_write_set_format_option(a, "pax", "hdrcharset", "BINARY"),
        "cannot set up tar names");
  archive_write_set_bytes_per_block(a, 0);
  archive_write_set_bytes_in_last_block(a, 1);
}

WriteArchive OpenArchive(ArchiveOutput* output) {
  WriteArchive a(archive_write_new());
  if (!a) throw PackerError("out of memory");
  SetUpTar(a.get());
  Check(a.get(), archive_write_open(a.get(), output, nullptr, QueueWrite, nullptr),
        "cannot start the archive");
  return a;
}

void WriteHeader(archive* a, const std::string& name, const struct stat& info) {
  std::unique_ptr<archive_entry, EntryDeleter> entry(archive_entry_new());
  archive_entry_set_pathname(entry.get(), name.c_str());
  archive_entry_set_filetype(entry.get(), AE_IFREG);
  archive_entry_set_perm(entry.get(), info.st_mode & 07777);
  archive_entry_set_size(entry.get(), info.st_size);
  archive_entry_set_mtime(entry.get(), info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
  Check(a, archive_write_header(a, entry.get()), "cannot pack " + name);
}

void WriteChunks(archive* a, const char* data, std::size_t size, const std::string& path) {
  for (std::size_t done = 0; done < size; done += kChunk) {
    const std::size_t part = std::min(kChunk, size - done);
    if (archive_write_data(a, data + done, part) != static_cast<la_ssize_t>(part)) {
      Check(a, ARCHIVE_FATAL, "cannot pack " + path);
    }
  }
}

// Reads the content with read(); for files that cannot be mapped.
void WriteContentByReading(archive* a, int fd, const std::string& path, off_t size) {
  const auto buffer_owner = std::make_unique_for_overwrite<char[]>(kChunk);
  char* buffer = buffer_owner.get();
  off_t done = 0;
  while (done < size) {
    const ssize_t got = read(fd, buffer, kChunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw PackerError(ErrnoText("cannot read " + path, errno));
    if (got == 0 || done + got > size) throw PackerError(path + " changed while it was packed");
    WriteChunks(a, buffer, static_cast<std::size_t>(got), path);
    done += got;
  }
}

// Maps the file and packs straight from the mapping, which saves a copy of every byte.
void WriteContent(archive* a, int fd, const std::string& path, off_t size) {
  if (size == 0) return;
  void* map = mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_PRIVATE, fd, 0);
  if (map == MAP_FAILED) return WriteContentByReading(a, fd, path, size);
  madvise(map, static_cast<std::size_t>(size), MADV_SEQUENTIAL);  // one advice per call
  madvise(map, static_cast<std::size_t>(size), MADV_WILLNEED);
  try {
    WriteChunks(a, static_cast<const char*>(map), static_cast<std::size_t>(size), path);
  } catch (...) {
    munmap(map, static_cast<std::size_t>(size));
    throw;
  }
  munmap(map, static_cast<std::size_t>(size));
}

// Opens the file to pack and reads its status; throws unless it is a regular file.
FileDescriptor OpenToPack(const std::string& path, struct stat& info) {
  FileDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
  if (fd.get() < 0) throw PackerError(ErrnoText("cannot open " + path, errno));
  if (fstat(fd.get(), &info) != 0) throw PackerError(ErrnoText("cannot read " + path, errno));
  if (!S_ISREG(info.st_mode)) throw PackerError(path + " is not a regular file");
  return fd;
}

void PackOne(archive* a, const std::string& path) {
  struct stat info {};
  const FileDescriptor fd = OpenToPack(path, info);
  posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  WriteHeader(a, BareName(path), info);
  WriteContent(a, fd.get(), path, info.st_size);
  Check(a, archive_write_finish_entry(a), "cannot pack " + path);
}

// A plain archive is written as cp copies: tar headers from libarchive, and each file's
// content copied from file to archive inside the kernel, without passing through here.
constexpr std::size_t kTarBlock = 512;

// Collects what a header-only session writes, until it is told to stop listening.
struct HeaderSink {
  std::string bytes;
  bool listening = true;
};

// Once the header is taken, the session's own padding of the entry is refused, which
// ends the session at its first write instead of after the whole entry's worth of zeros.
la_ssize_t CollectHeader(archive*, void* client, const void* buffer, size_t size) {
  auto* sink = static_cast<HeaderSink*>(client);
  if (!sink->listening) return -1;
  sink->bytes.append(static_cast<const char*>(buffer), size);
  return static_cast<la_ssize_t>(size);
}

// The header of one entry, with a pax header before it where the name needs one, from a
// session of its own whose entry is never finished (its content is written by the caller).
std::string TarHeader(const std::string& name, const struct stat& info) {
  HeaderSink sink;
  WriteArchive a(archive_write_new());
  if (!a) throw PackerError("out of memory");
  SetUpTar(a.get());
  Check(a.get(), archive_write_open(a.get(), &sink, nullptr, CollectHeader, nullptr),
        "cannot start the archive");
  WriteHeader(a.get(), name, info);
  sink.listening = false;
  return std::move(sink.bytes);
}

// Writes bytes that libarchive made and adds them to the archive's hash.
void WriteHashed(int out_fd, const std::string& bytes, ContentHash& hash) {
  WriteAllBytes(out_fd, bytes, "the archive");
  hash.Add(bytes.data(), bytes.size());
}

// The file's content is hashed from its mapping right after the kernel copied it, while it
// is still in memory.
void PackOnePlain(int out_fd, const std::string& path, ContentHash& hash) {
  struct stat info {};
  const FileDescriptor fd = OpenToPack(path, info);
  WriteHashed(out_fd, TarHeader(BareName(path), info), hash);
  CopyFileBytes(fd.get(), out_fd, info.st_size, path, "the archive");
  HashFileBytes(fd.get(), static_cast<std::uint64_t>(info.st_size), path, hash);
  const std::size_t tail = static_cast<std::size_t>(info.st_size) % kTarBlock;
  if (tail != 0) WriteHashed(out_fd, std::string(kTarBlock - tail, '\0'), hash);
}

std::uint64_t PackPlain(int out_fd, const std::vector<std::string>& paths) {
  ContentHash hash;
  for (const std::string& path : paths) PackOnePlain(out_fd, path, hash);
  WriteHashed(out_fd, std::string(2 * kTarBlock, '\0'), hash);  // its end
  return hash.Value();
}

std::uint64_t PackCompressed(int out_fd, const std::vector<std::string>& paths,
                             const PackOptions& options) {
  // Outlives the archive, which writes into it until freed.
  ArchiveOutput output(out_fd, {true, options.zstd_level, options.threads});
  WriteArchive a = OpenArchive(&output);
  for (const std::string& path : paths) PackOne(a.get(), path);
  Check(a.get(), archive_write_close(a.get()), "cannot finish the archive");
  return output.Finish();
}

void CheckDistinctNames(const std::vector<std::string>& paths) {
  std::set<std::string> names;
  for (const std::string& path : paths) {
    const std::string name = BareName(path);
    if (name.empty() || name == "." || name == "..") {
      throw PackerError("\"" + path + "\" does not name a file");
    }
    if (!names.insert(name).second) throw PackerError("two files are named \"" + name + "\"");
  }
}

}  // namespace

std::string BareName(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::uint64_t PackFiles(int out_fd, const std::vector<std::string>& paths,
                        const PackOptions& options) {
  CheckDistinctNames(paths);
  const bool compress =
      options.compression == Compression::kAlways ||
      (options.compression == Compression::kWhenWorthwhile && WorthCompressing(paths));
  return compress ? PackCompressed(out_fd, paths, options) : PackPlain(out_fd, paths);
}

}  // namespace mw::packer
