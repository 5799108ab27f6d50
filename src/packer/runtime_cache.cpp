#include "packer/runtime_cache.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "packer/packer_error.h"
#include "packer/program_folder.h"
#include "packer/span_source.h"
#include "packer/temp_folder.h"

namespace mw::packer {
namespace {

// Written last into an unpacked part: one "size name" line per file.
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

void WriteContent(archive* a, const std::string& path, mode_t mode) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
  if (fd < 0) throw PackerError(ErrnoText("cannot create " + path, errno));
  const int status = archive_read_data_into_fd(a, fd);
  const int closed = close(fd);
  if (status != ARCHIVE_OK) Refuse(path + ": " + archive_error_string(a));
  if (closed != 0) throw PackerError(ErrnoText("cannot write " + path, errno));
}

// Writes the list of files and sizes that IsCompleteRuntimeFolder checks.
void WriteFileList(const std::string& dir, const std::string& list) {
  const std::string path = JoinPath(dir, kFileList);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << list;
  out.close();
  if (!out) throw PackerError("cannot write " + path);
}

bool OnNoexecMount(const std::string& path) {
  struct statvfs info {};
  return statvfs(path.c_str(), &info) == 0 && (info.f_flag & ST_NOEXEC) != 0;
}

// Makes folder and its parents with mode 0700 where they are missing.
bool MakeFolders(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) return false;
  chmod(folder.c_str(), S_IRWXU);
  return std::filesystem::is_directory(folder, error);
}

// Unpacks the part under a temporary name in cache and renames it to final_path. Returns
// false when the cache cannot be written.
bool MakeCacheFolder(int fd, const RuntimePart& part, const std::string& cache,
                     const std::string& final_path) {
  std::string pattern = JoinPath(cache, ".part-" + HashName(part.hash) + "-XXXXXX");
  if (!mkdtemp(pattern.data())) return false;
  OwnedFolder partial(pattern);
  UnpackRuntimePart(fd, part, partial.path());
  if (rename(partial.path().c_str(), final_path.c_str()) == 0) {
    partial.Keep();
    return true;
  }
  // Another package made it meanwhile: ours is removed, theirs is used.
  if ((errno == EEXIST || errno == ENOTEMPTY) && IsCompleteRuntimeFolder(final_path)) return true;
  throw PackerError(ErrnoText("cannot finish the runtime folder " + final_path, errno));
}

// Moves a damaged folder out of the way (another package may still use it) and removes it.
void DiscardDamaged(const std::string& cache, const std::string& folder) {
  std::string aside = JoinPath(cache, ".damaged-XXXXXX");
  if (!mkdtemp(aside.data())) return;
  const std::string target = JoinPath(aside, "part");
  if (rename(folder.c_str(), target.c_str()) != 0) {
    RemoveTree(folder);
  }
  RemoveTree(aside);
}

}  // namespace

void UnpackRuntimePart(int fd, const RuntimePart& part, const std::string& dir) {
  SpanSource source({fd, part.offset, part.size});
  std::unique_ptr<archive, ReadDeleter> a(archive_read_new());
  if (!a) throw PackerError("out of memory");
  archive_read_support_filter_zstd(a.get());
  archive_read_support_format_tar(a.get());
  if (archive_read_open(a.get(), &source, nullptr, SpanSource::Read, nullptr) != ARCHIVE_OK) {
    Refuse(archive_error_string(a.get()));
  }
  std::string list;
  std::uint64_t count = 0, total = 0;
  archive_entry* entry = nullptr;
  for (int status; (status = archive_read_next_header(a.get(), &entry)) != ARCHIVE_EOF;) {
    if (status != ARCHIVE_OK) Refuse(archive_error_string(a.get()));
    if (++count > kMaxRuntimeEntries) Refuse("it holds too many files");
    const std::string name = CheckedName(entry);
    const std::string path = JoinPath(dir, name);
    const auto type = archive_entry_filetype(entry);
    if (name.empty() || (type == AE_IFDIR && mkdir(path.c_str(), S_IRWXU) == 0)) continue;
    if (type == AE_IFDIR) throw PackerError(ErrnoText("cannot create " + path, errno));
    if (type != AE_IFREG || archive_entry_hardlink(entry)) Refuse(name + " is not a regular file");
    const auto size = static_cast<std::uint64_t>(archive_entry_size(entry));
    if ((total += size) > kMaxRuntimeBytes) Refuse("it is too large");
    WriteContent(a.get(), path, static_cast<mode_t>(archive_entry_perm(entry) & 0755) | S_IRUSR);
    list += std::to_string(size) + " " + name + "\n";
  }
  WriteFileList(dir, list);
}

std::string RuntimeCacheFolder() {
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  if (xdg && xdg[0] == '/') return JoinPath(xdg, "markweaver");
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return JoinPath(JoinPath(home, ".cache"), "markweaver");
  return "";
}

bool IsCompleteRuntimeFolder(const std::string& folder) {
  std::ifstream in(JoinPath(folder, kFileList), std::ios::binary);
  if (!in) return false;
  std::uint64_t size = 0;
  std::string name;
  while (in >> size && in.get() == ' ' && std::getline(in, name)) {
    struct stat info {};
    const std::string path = JoinPath(folder, name);
    if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::uint64_t>(info.st_size) != size) {
      return false;
    }
  }
  return in.eof();
}

std::string ProvideRuntimePart(int fd, const RuntimePart& part, const std::string& fallback) {
  const std::string cache = RuntimeCacheFolder();
  if (!cache.empty() && MakeFolders(cache) && access(cache.c_str(), W_OK | X_OK) == 0 &&
      !OnNoexecMount(cache)) {
    const std::string final_path = JoinPath(cache, HashName(part.hash));
    if (IsCompleteRuntimeFolder(final_path)) return final_path;
    if (access(final_path.c_str(), F_OK) == 0) DiscardDamaged(cache, final_path);
    if (MakeCacheFolder(fd, part, cache, final_path)) return final_path;
  }
  // No usable cache: this run unpacks the runtime for itself.
  std::string pattern = JoinPath(fallback, ".runtime-XXXXXX");
  if (!mkdtemp(pattern.data())) {
    throw PackerError(ErrnoText("cannot make a folder in " + fallback, errno));
  }
  UnpackRuntimePart(fd, part, pattern);
  return pattern;
}

void LinkRuntimeInto(const std::string& runtime_folder, const std::string& dir) {
  std::error_code error;
  for (std::filesystem::directory_iterator it(runtime_folder, error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.starts_with(".")) continue;
    const std::string link = JoinPath(dir, name);
    if (symlink(it->path().c_str(), link.c_str()) != 0) {
      throw PackerError(ErrnoText("cannot link the runtime into " + link, errno));
    }
  }
  if (error) throw PackerError("cannot read the runtime folder " + runtime_folder);
}

}  // namespace mw::packer
