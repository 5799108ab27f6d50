#include "packer/safe_extract.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <set>
#include <string_view>

#include "packer/background_writer.h"
#include "packer/packer_error.h"
#include "packer/span_source.h"

namespace mw::packer {

std::string Printable(std::string_view text) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    if (c >= 0x20 && c != 0x7f) {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += digits[c >> 4];
      out += digits[c & 15];
    }
  }
  return out;
}
namespace {

// The user's umask: unpacked files get the packed bits less it, as any unpacking tool
// does, so a world-writable entry does not land world-writable in a folder of the user's.
mode_t CurrentUmask() {
  static const mode_t mask = [] {
    const mode_t m = umask(022);
    umask(m);
    return m;
  }();
  return mask;
}

struct ReadDeleter {
  void operator()(archive* a) const { archive_read_free(a); }
};
using ReadArchivePtr = std::unique_ptr<archive, ReadDeleter>;

[[noreturn]] void Refuse(const std::string& why) {
  throw PackerError("the package is refused: " + Printable(why));
}

std::string ArchiveErrorText(archive* a) {
  const char* reason = archive_error_string(a);
  return reason ? reason : "damaged archive";
}

ReadArchivePtr OpenArchive(SpanSource* source) {
  ReadArchivePtr a(archive_read_new());
  if (!a) throw PackerError("out of memory");
  archive_read_support_filter_zstd(a.get());
  archive_read_support_format_tar(a.get());
  archive_read_set_format_option(a.get(), "tar", "hdrcharset", "BINARY");
  if (archive_read_open(a.get(), source, nullptr, SpanSource::Read, nullptr) != ARCHIVE_OK) {
    Refuse(ArchiveErrorText(a.get()));
  }
  return a;
}

const char* KindOf(archive_entry* entry) {
  if (archive_entry_hardlink(entry)) return "a hard link";
  switch (archive_entry_filetype(entry)) {
    case AE_IFREG:
      return nullptr;
    case AE_IFLNK:
      return "a symbolic link";
    case AE_IFDIR:
      return "a folder";
    case AE_IFCHR:
    case AE_IFBLK:
      return "a device";
    case AE_IFIFO:
      return "a pipe";
    default:
      return "not a regular file";
  }
}

bool IsBareName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// Checks one entry's header against the rules; returns what it declares.
PackedFile CheckEntry(archive_entry* entry, const std::set<std::string>& seen, std::uint64_t total,
                      const ExtractLimits& limits) {
  const char* raw_name = archive_entry_pathname(entry);
  const std::string name = raw_name ? raw_name : "";
  if (!IsBareName(name)) Refuse("\"" + name + "\" is not a plain file name");
  if (const char* kind = KindOf(entry)) Refuse(name + " is " + kind);
  if (archive_entry_symlink(entry)) Refuse(name + " is a symbolic link");
  if (seen.count(name)) Refuse("it holds " + name + " twice");
  if (!archive_entry_size_is_set(entry) || archive_entry_size(entry) < 0) {
    Refuse(name + " has no size");
  }
  const auto size = static_cast<std::uint64_t>(archive_entry_size(entry));
  if (size > limits.max_total_bytes - total) {
    Refuse("its files are larger than " + std::to_string(limits.max_total_bytes) + " bytes");
  }
  return {name, size, static_cast<mode_t>(archive_entry_perm(entry) & 0777 & ~CurrentUmask())};
}

// Largest piece of content queued for writing at once.
constexpr std::size_t kMaxPiece = 1 << 20;

// An unpacked file while its content is written behind the reading: closed when the last step
// queued for it has run, or dropped.
class OutputFile {
 public:
  OutputFile(int fd, const PackedFile& file) : fd_(fd), file_(file) {}
  ~OutputFile() {
    if (fd_ >= 0) close(fd_);
  }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void WriteAt(std::string_view bytes, std::uint64_t offset) const {
    while (!bytes.empty()) {
      const ssize_t written = pwrite(fd_, bytes.data(), bytes.size(), static_cast<off_t>(offset));
      if (written < 0 && errno == EINTR) continue;
      if (written < 0) throw PackerError(ErrnoText("cannot write " + file_.name, errno));
      bytes.remove_prefix(static_cast<std::size_t>(written));
      offset += static_cast<std::uint64_t>(written);
    }
  }

  // Gives the file its declared size and permission bits, and closes it.
  void Finish() {
    if (ftruncate(fd_, static_cast<off_t>(file_.size)) != 0 ||
        fchmod(fd_, file_.permissions) != 0) {
      throw PackerError(ErrnoText("cannot finish " + file_.name, errno));
    }
    const int closed = close(fd_);
    fd_ = -1;
    if (closed != 0) throw PackerError(ErrnoText("cannot write " + file_.name, errno));
  }

 private:
  int fd_;
  PackedFile file_;
};

// Queues the block for writing at offset, in pieces of at most kMaxPiece.
void QueueBlock(BackgroundWriter& writer, const std::shared_ptr<OutputFile>& out, const char* data,
                std::size_t size, std::uint64_t offset) {
  for (std::size_t done = 0; done < size; done += kMaxPiece) {
    const std::size_t piece = std::min(kMaxPiece, size - done);
    const std::uint64_t at = offset + done;
    writer.Write(data + done, piece,
                 [out, at](std::string_view bytes) { out->WriteAt(bytes, at); });
  }
}

void CopyContent(archive* a, BackgroundWriter& writer, const std::shared_ptr<OutputFile>& out,
                 const PackedFile& file) {
  for (;;) {
    const void* block = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    const int status = archive_read_data_block(a, &block, &size, &offset);
    if (status == ARCHIVE_EOF) break;
    if (status != ARCHIVE_OK) Refuse(file.name + ": " + ArchiveErrorText(a));
    if (offset < 0 || static_cast<std::uint64_t>(offset) + size > file.size) {
      Refuse(file.name + " holds more than its declared size");
    }
    QueueBlock(writer, out, static_cast<const char*>(block), size,
               static_cast<std::uint64_t>(offset));
  }
}

// Creates the file in the folder and queues its content and its finish on writer.
void ExtractEntry(archive* a, int dir_fd, const PackedFile& file, BackgroundWriter& writer) {
  const int fd =
      openat(dir_fd, file.name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) throw PackerError(ErrnoText("cannot create " + file.name, errno));
  const auto out = std::make_shared<OutputFile>(fd, file);
  CopyContent(a, writer, out, file);
  writer.Then([out] { out->Finish(); });
}

void SkipEntry(archive* a, const PackedFile& file) {
  if (archive_read_data_skip(a) != ARCHIVE_OK) Refuse(file.name + ": " + ArchiveErrorText(a));
}

}  // namespace

std::vector<PackedFile> ReadArchive(const ArchiveSpan& span, int dir_fd,
                                    const ExtractLimits& limits,
                                    const std::function<void()>& poll) {
  SpanSource source(span);
  ReadArchivePtr a = OpenArchive(&source);
  BackgroundWriter writer;  // dropped with what it still holds when a rule is broken
  std::vector<PackedFile> files;
  std::set<std::string> seen;
  std::uint64_t total = 0;
  for (;;) {
    if (poll) poll();
    archive_entry* entry = nullptr;
    const int status = archive_read_next_header(a.get(), &entry);
    if (status == ARCHIVE_EOF) break;
    if (status != ARCHIVE_OK) Refuse(ArchiveErrorText(a.get()));
    if (files.size() >= limits.max_entries) {
      Refuse("it holds more than " + std::to_string(limits.max_entries) + " files");
    }
    PackedFile file = CheckEntry(entry, seen, total, limits);
    if (dir_fd >= 0) {
      ExtractEntry(a.get(), dir_fd, file, writer);
    } else {
      SkipEntry(a.get(), file);
    }
    total += file.size;
    seen.insert(file.name);
    files.push_back(std::move(file));
  }
  writer.Finish();
  if (files.empty()) Refuse("it holds no files");
  return files;
}

}  // namespace mw::packer
