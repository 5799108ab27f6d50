#include "packer/opened_package.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "packer/packer_error.h"
#include "packer/printable_text.h"
#include "packer/process.h"

namespace mw::packer {

OpenFile::OpenFile(const std::string& path, int flags)
    : fd_(open(path.c_str(), flags | O_CLOEXEC)) {
  if (fd_ < 0) throw PackerError(ErrnoText("cannot open " + path, errno));
}

OpenFile::~OpenFile() { close(fd_); }

Package::Package(const std::string& path)
    : file(path, O_RDONLY),
      layout(ReadPackageLayout(file.get())),
      command(ParseLaunchLine(layout.launch_line)),
      runtime(ReadRuntimeIndex(file.get(), layout.archive_offset)) {}

const PackedFile& LaunchProgram(const Package& package, const std::vector<PackedFile>& files) {
  const std::string& program = package.command.program;
  const auto it = std::find_if(files.begin(), files.end(),
                               [&](const PackedFile& f) { return f.name == program; });
  if (it == files.end()) {
    throw PackerError("the package is refused: it lacks its program " + PrintableName(program));
  }
  return *it;
}

void MakeRunnable(int dir_fd, const std::string& program, mode_t permissions) {
  if (fchmodat(dir_fd, program.c_str(), permissions | S_IRUSR | S_IXUSR, 0) != 0) {
    throw PackerError(ErrnoText("cannot make " + PrintableName(program) + " runnable", errno));
  }
}

void UnpackInto(const Package& package, const std::string& dir, const ExtractLimits& limits,
                ExtractHooks hooks) {
  const OpenFile folder(dir, O_RDONLY | O_DIRECTORY);
  auto poll = std::move(hooks.poll);
  hooks.poll = [&poll] {
    ThrowIfInterrupted();
    if (poll) poll();
  };
  const std::vector<PackedFile> files = ReadArchive(package.span(), folder.get(), limits, hooks);
  const PackedFile& program = LaunchProgram(package, files);
  MakeRunnable(folder.get(), program.name, program.permissions);
}

}  // namespace mw::packer
