// kecab.dll (makecab.exe while a package is built), the archiver.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "packer/archive_packer.h"
#include "packer/file_copy.h"
#include "packer/packer_error.h"
#include "packer/runtime_parts.h"
#include "packer/temp_folder.h"

namespace {

constexpr const char* kUsage =
    "usage: kecab.dll [--level N] [--store | --store-unless-worthwhile] [--threads N] "
    "[--hash-fd N] -o ARCHIVE|- [--] FILE...";

constexpr const char* kHelp =
    "Packs regular files into one tar archive, zstd-compressed unless told otherwise, each\n"
    "file under its bare name (the text after its last \"/\") with its permission bits.\n"
    "\n"
    "  -o ARCHIVE     write the archive to ARCHIVE (replaced), or to standard output for \"-\"\n"
    "  --level N      zstd compression level, default 1 (negative levels are faster still)\n"
    "  --store        a plain tar archive, not compressed (for photos and movies; any\n"
    "                 --level is then ignored)\n"
    "  --store-unless-worthwhile\n"
    "                 compress only when samples of the files show it saves a twentieth\n"
    "                 of their size; otherwise a plain tar archive\n"
    "  --threads N    compression threads, default: one\n"
    "  --hash-fd N    after packing, write the content hash of the archive's bytes (16\n"
    "                 hexadecimal digits and a line end) to the open descriptor N\n"
    "  --             ends the options; every later argument is a file\n"
    "  --help         shows this text\n"
    "\n"
    "Exit code 0 when every file was packed, 1 on a failure (the archive named with -o is\n"
    "then removed), 2 on wrong arguments.\n";

struct Arguments {
  std::string output;
  mw::packer::PackOptions options;
  std::vector<std::string> files;
  int hash_fd = -1;
};

std::optional<int> ToInt(const char* text) {
  int value = 0;
  const char* end = text + std::strlen(text);
  const auto [ptr, error] = std::from_chars(text, end, value);
  if (error != std::errc() || ptr != end) return std::nullopt;
  return value;
}

// Reads the command line; nullopt on wrong arguments.
std::optional<Arguments> ParseArguments(int argc, char** argv) {
  Arguments args;
  bool options_done = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (options_done || arg.empty() || arg[0] != '-' || arg == "-") {
      args.files.push_back(arg);
    } else if (arg == "--") {
      options_done = true;
    } else if (arg == "-o" && has_value) {
      args.output = argv[++i];
    } else if (arg == "--level" && has_value && ToInt(argv[i + 1])) {
      args.options.zstd_level = *ToInt(argv[++i]);
    } else if (arg == "--store") {
      args.options.compression = mw::packer::Compression::kNever;
    } else if (arg == "--store-unless-worthwhile") {
      args.options.compression = mw::packer::Compression::kWhenWorthwhile;
    } else if (arg == "--threads" && has_value && ToInt(argv[i + 1]) && *ToInt(argv[i + 1]) >= 0) {
      args.options.threads = *ToInt(argv[++i]);
    } else if (arg == "--hash-fd" && has_value && ToInt(argv[i + 1]) && *ToInt(argv[i + 1]) >= 0) {
      args.hash_fd = *ToInt(argv[++i]);
    } else {
      return std::nullopt;
    }
  }
  if (args.output.empty() || args.files.empty()) return std::nullopt;
  return args;
}

// Hands the archive's hash to whoever asked for it with --hash-fd.
void ReportHash(const Arguments& args, std::uint64_t hash) {
  if (args.hash_fd < 0) return;
  mw::packer::WriteAllBytes(args.hash_fd, mw::packer::HashName(hash) + "\n", "the hash");
}

int Pack(const Arguments& args) {
  if (args.output == "-") {
    if (isatty(STDOUT_FILENO))
      throw mw::packer::PackerError("will not write an archive to a terminal");
    ReportHash(args, mw::packer::PackFiles(STDOUT_FILENO, args.files, args.options));
    return 0;
  }
  const int fd = open(args.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0)
    throw mw::packer::PackerError(mw::packer::ErrnoText("cannot create " + args.output, errno));
  try {
    const std::uint64_t hash = mw::packer::PackFiles(fd, args.files, args.options);
    if (close(fd) != 0)
      throw mw::packer::PackerError(mw::packer::ErrnoText("cannot write " + args.output, errno));
    ReportHash(args, hash);
  } catch (...) {
    close(fd);
    unlink(args.output.c_str());
    throw;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::cout << kUsage << "\n\n" << kHelp;
    return 0;
  }
  const auto args = ParseArguments(argc, argv);
  if (!args) {
    std::cerr << kUsage << "\n";
    return 2;
  }
  try {
    return Pack(*args);
  } catch (const std::exception& e) {
    std::cerr << "kecab.dll: " << e.what() << "\n";
    return 1;
  }
}
