#pragma once

// Lowers the symbol-version needs of an ELF64 file to what older systems offer, so that a
// package plays on systems with an older C and C++ library than the build machine's.

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace mw::buildtools {

// A symbol whose newer version has an equivalent older entry point in the same library.
// An empty older version means there is none: the need is made weak and the symbol
// unversioned, so that the loader takes it from whichever library defines it (libc when it
// is new enough, else the provider library of ours).
struct VersionSubstitution {
  std::string_view library;  // the soname that defines the symbol, e.g. "libm.so.6"
  std::string_view symbol;
  std::string_view newer;
  std::string_view older;
};

// The oldest version of a family (the text before the last '_') that the host is expected
// to provide; needs up to it stay as they are, newer ones must be in the substitution table.
struct VersionFloor {
  std::string_view family;  // "GLIBC", "GLIBCXX", ...
  std::string_view oldest;  // "2.34"
};

// The substitutions we know to be safe: the older entry points behave the same.
const std::vector<VersionSubstitution>& KnownSubstitutions();
// glibc 2.34 with the C++ library and runtime of GCC 11.
const std::vector<VersionFloor>& KnownFloors();
// The soname of our library that defines the symbols without an older version.
inline constexpr std::string_view kProviderLibrary = "libmwcompat.so.1";

// One symbol whose need was lowered.
struct LoweredNeed {
  std::string symbol;
  std::string library;
  std::string newer;
  std::string older;  // empty when the need was made weak and the symbol unversioned
};

struct LoweringResult {
  std::vector<LoweredNeed> lowered;
  bool needs_provider = false;  // some symbol must now come from kProviderLibrary
};

// A file that cannot be read as ELF64, or a need that cannot be lowered; the message names
// the file and, where there is one, the symbol and the version.
class ElfNeedsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Rewrites the needs in image (the bytes of the file called name, for messages). On an
// error image is left as it was.
LoweringResult LowerVersionNeeds(std::vector<std::uint8_t>& image, const std::string& name,
                                 const std::vector<VersionSubstitution>& substitutions,
                                 const std::vector<VersionFloor>& floors);

// The same for a file, with the known tables. The file is replaced (same mode) only when
// something changed; otherwise it stays byte for byte as it was.
LoweringResult LowerVersionNeedsInFile(const std::filesystem::path& path);

// The hash of a version name that ELF version sections carry (the SysV ELF hash).
std::uint32_t ElfHash(std::string_view name);

// -1, 0 or 1 as dotted version a is older than, the same as or newer than b ("2.2.5" <
// "2.34"). Parts that are not numbers compare as text.
int CompareDottedVersions(std::string_view a, std::string_view b);

}  // namespace mw::buildtools
