#include "packer/clips_for_playing.h"

#include <fcntl.h>

#include "map/package_data_file.h"
#include "packer/failure_notice.h"
#include "packer/packer_error.h"
#include "packer/program_folder.h"
#include "packer/runtime_parts.h"

namespace mw::packer {
namespace {

// Follows the files of one unpacking into dir for the early start. The written hook runs on
// the writing thread only, the read hook on the reading thread only.
class StartFileWatch {
 public:
  StartFileWatch(SharedStart& start, std::string dir)
      : start_(start),
        dir_(std::move(dir)),
        folder_(dir_, O_RDONLY | O_DIRECTORY),
        program_(start.package.command.program),
        data_file_(DataFileOfProgram(program_)) {}

  ExtractHooks Hooks() {
    ExtractHooks hooks;
    // The clips after the start files wait for the player, once those are in place (or
    // could not be written, which then stops the unpacking).
    hooks.settle_after = [this](const PackedFile& file) {
      program_read_ = program_read_ || file.name == program_;
      return file.name == data_file_ && program_read_;
    };
    hooks.read = [this](const PackedFile& file) {
      if (file.name == data_file_ && program_read_) start_.early.HoldClipsUntilPlayerStarts();
    };
    hooks.written = [this](const PackedFile& file) { Written(file); };
    return hooks;
  }

 private:
  void Written(const PackedFile& file) {
    if (file.name == program_) {
      MakeRunnable(folder_.get(), file.name, file.permissions);
      program_in_place_ = true;
    }
    data_file_in_place_ = data_file_in_place_ || file.name == data_file_;
    start_.gate.Name(file.name);
    if (program_in_place_ && data_file_in_place_ && !told_) {
      told_ = true;
      start_.early.StartFilesInPlace(dir_);
    }
  }

  SharedStart& start_;
  std::string dir_;
  OpenFile folder_;
  std::string program_;
  std::string data_file_;
  bool program_read_ = false;
  bool program_in_place_ = false;
  bool data_file_in_place_ = false;
  bool told_ = false;
};

// Unpacks the package into folder; a refusal ends an early player and is shown to the
// person while the folder still holds what was unpacked (its player may show it). A folder
// without room, or an interrupt, ends an early player and is left to the caller.
void UnpackForPlaying(SharedStart& start, const std::string& folder) {
  try {
    StartFileWatch watch(start, folder);
    UnpackInto(start.package, folder, start.limits, watch.Hooks());
  } catch (const NoRoomError&) {
    start.early.Cancel();
    throw;
  } catch (const InterruptedError&) {
    start.early.Cancel();
    throw;
  } catch (const PackerError& e) {
    start.early.Cancel();
    ShowFailureNotice(e.what(), JoinPath(folder, start.package.command.program));
    throw PackerError(e.what(), true);
  }
}

// See UnpackClipsForPlaying.
PlayFolder UnpackSomewhere(SharedStart& start, const std::string& private_folder) {
  const Package& package = start.package;
  PlayFolder play;
  PackageFile file{package.file.get(), package.layout.archive_size,
                   [&](const std::string& folder) { UnpackForPlaying(start, folder); },
                   [&] { CheckArchiveHash(package.span()); },
                   // A player started early in a folder the cache gives up ends before it goes.
                   [&] { start.early.Cancel(); }};
  play.entry = ProvidePackageEntry(PackageEntryName(package.layout, package.runtime), file);
  if (play.entry) {
    TrimPackageCache(FolderOf(play.entry->path()));
    play.path = play.entry->path();
    return play;
  }
  UnpackForPlaying(start, private_folder);
  play.path = private_folder;
  return play;
}

}  // namespace

PlayFolder UnpackClipsForPlaying(SharedStart& start, const std::string& private_folder) {
  const SignalAtEnd over(start.early, &EarlyStart::ClipsOver);
  try {
    return UnpackSomewhere(start, private_folder);
  } catch (...) {
    start.early.Cancel();
    throw;
  }
}

}  // namespace mw::packer
