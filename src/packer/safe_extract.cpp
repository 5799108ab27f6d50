#include "packer/safe_extract.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <set>

#include "packer/packer_error.h"

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

constexpr std::size_t kReadChunk = 1 << 20;

// Feeds libarchive the bytes of the span, and no byte outside it.
struct SpanReader {
  ArchiveSpan span;
  std::uint64_t position = 0;
  std::unique_ptr<char[]> buffer = std::make_unique<char[]>(kReadChunk);
};

la_ssize_t ReadSpan(archive* a, void* client, const void** out) {
  auto* reader = static_cast<SpanReader*>(client);
  const std::uint64_t left = reader->span.size - reader->position;
  const std::size_t want = left < kReadChunk ? static_cast<std::size_t>(left) : kReadChunk;
  if (want == 0) return 0;
  ssize_t got;
  do {
    got = pread(reader->span.fd, reader->buffer.get(), want,
                static_cast<off_t>(reader->span.offset + reader->position));
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    archive_set_error(a, errno, "cannot read the package");
    return -1;
  }
  reader->position += static_cast<std::uint64_t>(got);
  *out = reader->buffer.get();
  return got;
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

ReadArchivePtr OpenArchive(SpanReader* reader) {
  ReadArchivePtr a(archive_read_new());
  if (!a) throw PackerError("out of memory");
  archive_read_support_filter_zstd(a.get());
  archive_read_support_format_tar(a.get());
  archive_read_set_format_option(a.get(), "tar", "hdrcharset", "BINARY");
  if (archive_read_open(a.get(), reader, nullptr, ReadSpan, nullptr) != ARCHIVE_OK) {
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

void WriteAt(int fd, const char* data, std::size_t size, std::uint64_t offset,
             const std::string& name) {
  while (size > 0) {
    const ssize_t written = pwrite(fd, data, size, static_cast<off_t>(offset));
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) throw PackerError(ErrnoText("cannot write " + name, errno));
    data += written;
    size -= static_cast<std::size_t>(written);
    offset += static_cast<std::uint64_t>(written);
  }
}

void CopyContent(archive* a, int fd, const PackedFile& file) {
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
    WriteAt(fd, static_cast<const char*>(block), size, static_cast<std::uint64_t>(offset),
            file.name);
  }
}

void ExtractEntry(archive* a, int dir_fd, const PackedFile& file) {
  const int fd =
      openat(dir_fd, file.name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) throw PackerError(ErrnoText("cannot create " + file.name, errno));
  try {
    CopyContent(a, fd, file);
    if (ftruncate(fd, static_cast<off_t>(file.size)) != 0 || fchmod(fd, file.permissions) != 0) {
      throw PackerError(ErrnoText("cannot finish " + file.name, errno));
    }
  } catch (...) {
    close(fd);
    throw;
  }
  if (close(fd) != 0) throw PackerError(ErrnoText("cannot write " + file.name, errno));
}

void SkipEntry(archive* a, const PackedFile& file) {
  if (archive_read_data_skip(a) != ARCHIVE_OK) Refuse(file.name + ": " + ArchiveErrorText(a));
}

}  // namespace

std::vector<PackedFile> ReadArchive(const ArchiveSpan& span, int dir_fd,
                                    const ExtractLimits& limits,
                                    const std::function<void()>& poll) {
  SpanReader reader{span};
  ReadArchivePtr a = OpenArchive(&reader);
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
      ExtractEntry(a.get(), dir_fd, file);
    } else {
      SkipEntry(a.get(), file);
    }
    total += file.size;
    seen.insert(file.name);
    files.push_back(std::move(file));
  }
  if (files.empty()) Refuse("it holds no files");
  return files;
}

}  // namespace mw::packer
