#include "packer/runtime_unpack.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <exception>
#include <fstream>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "packer/file_copy.h"
#include "packer/program_folder.h"
#include "packer/runtime_stream.h"
#include "packer/span_source.h"
#include "packer/zstd_frames.h"

namespace mw::packer {
namespace {

[[noreturn]] void RefuseDamaged() {
  RefuseRuntime("it is damaged (it does not match its check)");
}

// The frames of a part in at most two runs, each read frame by frame on a thread of its own.
struct FrameRuns {
  std::vector<ArchiveSpan> first;   // read on the calling thread, which hashes the part
  std::vector<ArchiveSpan> second;  // read beside it; empty for a part of one frame
};

// Splits the frames where the two runs come nearest to the same compressed size.
FrameRuns SplitIntoRuns(std::vector<ArchiveSpan> frames) {
  std::uint64_t total = 0;
  for (const ArchiveSpan& frame : frames) total += frame.size;
  std::size_t split = frames.size();
  std::uint64_t best = total, before = 0;
  for (std::size_t k = 1; k < frames.size(); ++k) {
    before += frames[k - 1].size;
    const std::uint64_t imbalance = before * 2 > total ? before * 2 - total : total - before * 2;
    if (imbalance < best) best = imbalance, split = k;
  }
  FrameRuns runs;
  runs.second.assign(frames.begin() + static_cast<std::ptrdiff_t>(split), frames.end());
  frames.resize(split);
  runs.first = std::move(frames);
  return runs;
}

// One span over all the frames of a run.
ArchiveSpan SpanOf(const std::vector<ArchiveSpan>& run) {
  const ArchiveSpan& first = run.front();
  const ArchiveSpan& last = run.back();
  return {first.fd, first.offset, last.offset + last.size - first.offset, std::nullopt};
}

// One run being unpacked: the lines it adds to the list of files, or its failure.
struct RunOutcome {
  std::string list;
  std::exception_ptr error;
};

// Unpacks the run's frames one after another, adding their bytes to hash when it holds a
// value. A failure is kept in the outcome and stops the other run.
void UnpackRun(const std::vector<ArchiveSpan>& run, std::optional<ContentHash>& hash,
               const std::string& dir, RuntimeBudget& budget, RunOutcome& outcome) {
  try {
    for (const ArchiveSpan& frame : run) {
      outcome.list += UnpackRuntimeStream(frame, hash, dir, budget);
    }
  } catch (...) {
    outcome.error = std::current_exception();
    budget.Stop();
  }
}

// Carries the part's hash on over the bytes of the run read beside, which that run's thread
// does not hash: the part's hash follows its bytes in order.
void CarryHashOver(const std::vector<ArchiveSpan>& run, std::optional<ContentHash>& hash,
                   RunOutcome& outcome) {
  if (run.empty() || outcome.error) return;
  try {
    SpanSource rest(SpanOf(run), hash);
    hash = rest.FinishHashing();
  } catch (...) {
    outcome.error = std::current_exception();
  }
}

// Throws the failure of the runs, if one failed. Damage breaks rules of its own, so a refusal
// is named as damage when the part's bytes do not match its check. A refusal of the package
// goes before a failure to write, which another folder would not mend; the first run's first.
void ThrowFailure(const RunOutcome (&outcomes)[2], const ArchiveSpan& whole) {
  std::exception_ptr write_error;
  for (const RunOutcome& outcome : outcomes) {
    if (!outcome.error) continue;
    try {
      std::rethrow_exception(outcome.error);
    } catch (const RuntimeWriteError&) {
      if (!write_error) write_error = outcome.error;
    } catch (const PackerError&) {
      SpanSource source(whole);
      if (source.FinishHash() != *whole.hash) RefuseDamaged();
      throw;
    }
  }
  if (write_error) std::rethrow_exception(write_error);
}

// One line of a folder's list of files.
struct ListedFile {
  std::uint64_t size = 0;
  std::string hash;
  std::string name;
};

// Reads the folder's list of files; false when it is missing or malformed.
bool ReadFileList(const std::string& folder, std::vector<ListedFile>& files) {
  std::ifstream in(JoinPath(folder, kRuntimeFileList), std::ios::binary);
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
  const ArchiveSpan whole{fd, part.offset, part.size, part.hash};
  const FrameRuns runs = SplitIntoRuns(ZstdFramesOf(whole));
  RuntimeBudget budget;
  std::optional<ContentHash> hash = ContentHash{};
  RunOutcome outcomes[2];
  auto unpack_second = [&] {
    std::optional<ContentHash> unhashed;
    UnpackRun(runs.second, unhashed, dir, budget, outcomes[1]);
  };
  {
    std::jthread beside;
    bool second_here = false;
    if (!runs.second.empty()) {
      try {
        beside = std::jthread(unpack_second);
      } catch (const std::system_error&) {
        second_here = true;  // no thread to be had: the runs take turns
      }
    }
    UnpackRun(runs.first, hash, dir, budget, outcomes[0]);
    CarryHashOver(runs.second, hash, outcomes[0]);
    if (second_here) unpack_second();
  }  // the second run has ended here
  ThrowFailure(outcomes, whole);
  if (!hash || hash->Value() != part.hash) RefuseDamaged();
  WriteRuntimeFileList(dir, outcomes[0].list + outcomes[1].list);
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
  if (!ReadFileList(folder, files)) return kRuntimeFileList;
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
