#include "packer/safe_extract.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <memory>
#include <set>
#include <string_view>

#include "packer/background_writer.h"
#include "packer/packer_error.h"
#include "packer/span_source.h"

namespace mw::packer {

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
  return reason ? PrintableName(reason) : "damaged archive";
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
  const std::string printed = PrintableName(name);
  if (!IsBareName(name)) Refuse("\"" + printed + "\" is not a plain file name");
  if (name.size() > NAME_MAX) Refuse("\"" + printed + "\" is too long a file name");
  if (const char* kind = KindOf(entry)) Refuse(printed + " is " + kind);
  if (archive_entry_symlink(entry)) Refuse(printed + " is a symbolic link");
  if (seen.count(name)) Refuse("it holds " + printed + " twice");
  if (!archive_entry_size_is_set(entry) || archive_entry_size(entry) < 0) {
    Refuse(printed + " has no size");
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
      if (written < 0) ThrowFileWriteError("cannot write ", errno);
      bytes.remove_prefix(static_cast<std::size_t>(written));
      offset += static_cast<std::uint64_t>(written);
    }
  }

  // Gives the file its declared size and permission bits, and closes it.
  void Finish() {
    if (ftruncate(fd_, static_cast<off_t>(file_.size)) != 0 ||
        fchmod(fd_, file_.permissions) != 0) {
      ThrowFileWriteError("cannot finish ", errno);
    }
    const int closed = close(fd_);
    fd_ = -1;
    if (closed != 0) ThrowFileWriteError("cannot write ", errno);
  }

 private:
  // A full disk or quota is told apart: another folder may have the room.
  [[noreturn]] void ThrowFileWriteError(const char* what, int error) const {
    ThrowWriteError(what + PrintableName(file_.name), error);
  }

  int fd_;
  PackedFile file_;
};

// Queues the block for writing at offset, in pieces of at most kMaxPiece. A block that lies in
// the mapped package (a plain archive's content) is written straight from there, as it stays
// mapped until every write has run; any other is copied first.
void QueueBlock(BackgroundWriter& writer, const std::shared_ptr<OutputFile>& out,
                const SpanSource& source, const char* data, std::size_t size,
                std::uint64_t offset) {
  const bool lasting = source.Holds(data, size);
  for (std::size_t done = 0; done < size; done += kMaxPiece) {
    const std::string_view piece(data + done, std::min(kMaxPiece, size - done));
    const std::uint64_t at = offset + done;
    if (lasting) {
      writer.Then([out, piece, at] { out->WriteAt(piece, at); });
    } else {
      writer.Write(piece.data(), piece.size(),
                   [out, at](std::string_view bytes) { out->WriteAt(bytes, at); });
    }
  }
}

// Reads the entry's content block by block, checking that each lies inside its declared
// size, and hands each block to `use` (with its offset).
void ReadContent(archive* a, const PackedFile& file,
                 const std::function<void(const char*, std::size_t, std::uint64_t)>& use) {
  for (;;) {
    const void* block = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    const int status = archive_read_data_block(a, &block, &size, &offset);
    if (status == ARCHIVE_EOF) break;
    if (status != ARCHIVE_OK) Refuse(PrintableName(file.name) + ": " + ArchiveErrorText(a));
    if (offset < 0 || static_cast<std::uint64_t>(offset) > file.size ||
        size > file.size - static_cast<std::uint64_t>(offset)) {
      Refuse(PrintableName(file.name) + " holds more than its declared size");
    }
    use(static_cast<const char*>(block), size, static_cast<std::uint64_t>(offset));
  }
}

void CopyContent(archive* a, BackgroundWriter& writer, const std::shared_ptr<OutputFile>& out,
                 const PackedFile& file, const SpanSource& source) {
  ReadContent(a, file, [&](const char* data, std::size_t size, std::uint64_t offset) {
    QueueBlock(writer, out, source, data, size, offset);
  });
}

// Creates the file in the folder and queues its content and its finish on writer.
void ExtractEntry(archive* a, int dir_fd, const PackedFile& file, BackgroundWriter& writer,
                  const SpanSource& source, const ExtractHooks& hooks) {
  const int fd =
      openat(dir_fd, file.name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) throw PackerError(ErrnoText("cannot create " + PrintableName(file.name), errno));
  const auto out = std::make_shared<OutputFile>(fd, file);
  CopyContent(a, writer, out, file, source);
  writer.Then([out, file, &hooks] {
    out->Finish();
    if (hooks.written) hooks.written(file);
  });
}

// Checks the entry's content the way unpacking it would, writing nothing.
void CheckContent(archive* a, const PackedFile& file) {
  ReadContent(a, file, [](const char*, std::size_t, std::uint64_t) {});
}

// Bytes free to an ordinary user in the folder dir_fd.
std::uint64_t FreeBytes(int dir_fd) {
  struct statvfs info {};
  if (fstatvfs(dir_fd, &info) != 0) return UINT64_MAX;  // unknown: the writes will tell
  return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

std::string InMebibytes(std::uint64_t bytes) {
  return std::to_string(bytes / (1 << 20) + (bytes % (1 << 20) != 0 ? 1 : 0)) + " MiB";
}

// Refuses at once when the files declared so far cannot fit into the free space found
// before unpacking began.
void CheckRoom(std::uint64_t needed, std::uint64_t free) {
  if (needed <= free) return;
  throw NoRoomError("the package is refused: it needs at least " + InMebibytes(needed) + " (" +
                    std::to_string(needed) + " bytes) of free space to unpack, and only " +
                    InMebibytes(free) + " are free there");
}

}  // namespace

namespace {

// Reads every entry of the open archive, writing each into dir_fd (when >= 0) on writer.
std::vector<PackedFile> ReadEntries(archive* a, int dir_fd, const ExtractLimits& limits,
                                    const ExtractHooks& hooks, BackgroundWriter& writer,
                                    const SpanSource& source) {
  std::vector<PackedFile> files;
  std::set<std::string> seen;
  std::uint64_t total = 0;
  const std::uint64_t free = dir_fd >= 0 ? FreeBytes(dir_fd) : UINT64_MAX;
  for (;;) {
    if (hooks.poll) hooks.poll();
    archive_entry* entry = nullptr;
    const int status = archive_read_next_header(a, &entry);
    if (status == ARCHIVE_EOF) break;
    if (status != ARCHIVE_OK) Refuse(ArchiveErrorText(a));
    if (files.size() >= limits.max_entries) {
      Refuse("it holds more than " + std::to_string(limits.max_entries) + " files");
    }
    PackedFile file = CheckEntry(entry, seen, total, limits);
    if (dir_fd >= 0) {
      CheckRoom(total + file.size, free);
      ExtractEntry(a, dir_fd, file, writer, source, hooks);
    } else {
      CheckContent(a, file);
    }
    if (hooks.settle_after && hooks.settle_after(file)) writer.Finish();
    if (hooks.read) hooks.read(file);
    total += file.size;
    seen.insert(file.name);
    files.push_back(std::move(file));
  }
  writer.Finish();
  return files;
}

constexpr const char* kDamaged =
    "it is damaged: its archive does not match its check (a changed or missing byte)";

}  // namespace

std::vector<PackedFile> ReadArchive(const ArchiveSpan& span, int dir_fd,
                                    const ExtractLimits& limits,
                                    const ExtractHooks& hooks) {
  SpanSource source(span);
  std::vector<PackedFile> files;
  try {
    ReadArchivePtr a = OpenArchive(&source);
    BackgroundWriter writer;  // dropped with what it still holds when a rule is broken
    files = ReadEntries(a.get(), dir_fd, limits, hooks, writer, source);
  } catch (const PackerError&) {
    // Damage makes broken rules of its own: it is named as what it is.
    if (span.hash && source.FinishHash() != *span.hash) {
      Refuse(kDamaged);
    }
    throw;
  }
  if (span.hash && source.FinishHash() != *span.hash) Refuse(kDamaged);
  if (files.empty()) Refuse("it holds no files");
  return files;
}

void CheckArchiveHash(const ArchiveSpan& span) {
  SpanSource source(span);
  if (span.hash && source.FinishHash() != *span.hash) Refuse(kDamaged);
}

}  // namespace mw::packer
