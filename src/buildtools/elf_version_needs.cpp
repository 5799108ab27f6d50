#include "buildtools/elf_version_needs.h"

#include <elf.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>

namespace mw::buildtools {

const std::vector<VersionSubstitution>& KnownSubstitutions() {
  static const std::vector<VersionSubstitution> table{
      {"libm.so.6", "hypot", "GLIBC_2.35", "GLIBC_2.2.5"},
      {"libm.so.6", "hypotf", "GLIBC_2.35", "GLIBC_2.2.5"},
      {"libstdc++.so.6", "_ZNSt18condition_variable4waitERSt11unique_lockISt5mutexE",
       "GLIBCXX_3.4.30", "GLIBCXX_3.4.11"},
      {"libc.so.6", "arc4random_buf", "GLIBC_2.36", ""},
      {"libc.so.6", "arc4random", "GLIBC_2.36", ""},
  };
  return table;
}

const std::vector<VersionFloor>& KnownFloors() {
  static const std::vector<VersionFloor> floors{
      {"GLIBC", "2.34"}, {"GLIBCXX", "3.4.29"}, {"CXXABI", "1.3.13"}, {"GCC", "7.0.0"}};
  return floors;
}

std::uint32_t ElfHash(std::string_view name) {
  std::uint32_t h = 0;
  for (const char c : name) {
    h = (h << 4) + static_cast<unsigned char>(c);
    const std::uint32_t g = h & 0xf0000000u;
    if (g != 0) h ^= g >> 24;
    h &= ~g;
  }
  return h;
}

int CompareDottedVersions(std::string_view a, std::string_view b) {
  while (!a.empty() || !b.empty()) {
    const auto cut = [](std::string_view& text) {
      const auto dot = text.find('.');
      const std::string_view part = text.substr(0, dot);
      text = dot == std::string_view::npos ? std::string_view{} : text.substr(dot + 1);
      return part;
    };
    const std::string_view pa = cut(a), pb = cut(b);
    const bool numbers = !pa.empty() && !pb.empty() &&
                         pa.find_first_not_of("0123456789") == std::string_view::npos &&
                         pb.find_first_not_of("0123456789") == std::string_view::npos;
    if (numbers) {
      const auto na = std::stoull(std::string(pa)), nb = std::stoull(std::string(pb));
      if (na != nb) return na < nb ? -1 : 1;
    } else if (pa != pb) {
      return pa < pb ? -1 : 1;
    }
  }
  return 0;
}

namespace {

// Bounds-checked access to the file's bytes; every read names the file when it fails.
class Image {
 public:
  Image(std::vector<std::uint8_t>& bytes, const std::string& name) : bytes_(bytes), name_(name) {}

  [[noreturn]] void Fail(const std::string& why) const {
    throw ElfNeedsError(name_ + ": " + why);
  }
  void Check(std::uint64_t offset, std::uint64_t size, const char* what) const {
    if (offset > bytes_.size() || size > bytes_.size() - offset)
      Fail(std::string("is cut short or damaged: its ") + what + " lies outside the file");
  }
  template <typename T>
  T Read(std::uint64_t offset, const char* what) const {
    Check(offset, sizeof(T), what);
    T value;
    std::memcpy(&value, bytes_.data() + offset, sizeof(T));
    return value;
  }
  template <typename T>
  void Write(std::uint64_t offset, const T& value) {
    std::memcpy(bytes_.data() + offset, &value, sizeof(T));
  }
  std::string_view String(const Elf64_Shdr& table, std::uint64_t at) const {
    if (at >= table.sh_size) Fail("names a string outside its string table");
    const char* begin = reinterpret_cast<const char*>(bytes_.data() + table.sh_offset + at);
    const char* end = static_cast<const char*>(std::memchr(begin, 0, table.sh_size - at));
    if (end == nullptr) Fail("has a string table without a final NUL");
    return {begin, static_cast<std::size_t>(end - begin)};
  }
  // The offset in table of a string equal to text (also the tail of a longer one).
  std::optional<std::uint64_t> Find(const Elf64_Shdr& table, std::string_view text) const {
    const auto* begin = bytes_.data() + table.sh_offset;
    const auto* end = begin + table.sh_size;
    std::string wanted(text);
    wanted.push_back('\0');
    const auto* at = std::search(begin, end, wanted.begin(), wanted.end());
    if (at == end) return std::nullopt;
    return static_cast<std::uint64_t>(at - begin);
  }
  std::size_t size() const { return bytes_.size(); }
  const std::uint8_t* data() const { return bytes_.data(); }

 private:
  std::vector<std::uint8_t>& bytes_;
  const std::string& name_;
};

// One Vernaux entry: a version needed from a library.
struct Need {
  std::uint64_t offset;  // of the Elf64_Vernaux
  Elf64_Vernaux entry;
  std::string library;
  std::string version;
};

// The sections the version needs live in.
struct Sections {
  Elf64_Shdr verneed{}, versym{}, dynsym{}, dynstr{};
  std::uint32_t verneed_count = 0;
};

void CheckHeader(const Image& image, const Elf64_Ehdr& header) {
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0) image.Fail("is not an ELF file");
  if (header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_ident[EI_DATA] != ELFDATA2LSB)
    image.Fail("is not a 64-bit little-endian ELF file");
  if (header.e_shentsize != sizeof(Elf64_Shdr) && header.e_shnum != 0)
    image.Fail("has section headers of an unknown size");
}

// Finds the version sections; false when the file needs no versions at all.
bool FindSections(const Image& image, Sections& found) {
  if (image.size() < SELFMAG || std::memcmp(image.data(), ELFMAG, SELFMAG) != 0)
    image.Fail("is not an ELF file");
  const auto header = image.Read<Elf64_Ehdr>(0, "ELF header");
  CheckHeader(image, header);
  if (header.e_shnum == 0) image.Fail("has no section headers, so its version needs cannot be read");
  image.Check(header.e_shoff, std::uint64_t{header.e_shnum} * sizeof(Elf64_Shdr), "section headers");
  std::vector<Elf64_Shdr> sections;
  for (unsigned i = 0; i < header.e_shnum; ++i)
    sections.push_back(image.Read<Elf64_Shdr>(header.e_shoff + i * sizeof(Elf64_Shdr), "section header"));
  bool have_verneed = false, have_versym = false;
  for (const Elf64_Shdr& s : sections) {
    if (s.sh_type == SHT_GNU_verneed) {
      found.verneed = s;
      found.verneed_count = s.sh_info;
      have_verneed = true;
      if (s.sh_link >= sections.size()) image.Fail("has a version section without its string table");
      found.dynstr = sections[s.sh_link];
    } else if (s.sh_type == SHT_GNU_versym) {
      found.versym = s;
      have_versym = true;
      if (s.sh_link >= sections.size()) image.Fail("has a version table without its symbol table");
      found.dynsym = sections[s.sh_link];
    }
  }
  if (!have_verneed) return false;
  if (!have_versym) image.Fail("needs versions but has no symbol version table");
  image.Check(found.verneed.sh_offset, found.verneed.sh_size, "version needs");
  image.Check(found.versym.sh_offset, found.versym.sh_size, "symbol version table");
  image.Check(found.dynsym.sh_offset, found.dynsym.sh_size, "dynamic symbol table");
  image.Check(found.dynstr.sh_offset, found.dynstr.sh_size, "dynamic string table");
  if (found.dynstr.sh_type != SHT_STRTAB || found.dynsym.sh_type != SHT_DYNSYM)
    image.Fail("has version sections linked to the wrong tables");
  if (found.versym.sh_size / sizeof(Elf64_Half) != found.dynsym.sh_size / sizeof(Elf64_Sym))
    image.Fail("has a symbol version table that does not match its symbol table");
  return true;
}

// Every Vernaux entry of the file, in order.
std::vector<Need> ReadNeeds(const Image& image, const Sections& s) {
  std::vector<Need> needs;
  const std::uint64_t end = s.verneed.sh_offset + s.verneed.sh_size;
  std::uint64_t at = s.verneed.sh_offset;
  for (std::uint32_t i = 0; i < s.verneed_count; ++i) {
    if (at >= end) image.Fail("has version needs that run past their section");
    const auto need = image.Read<Elf64_Verneed>(at, "version need");
    const std::string library(image.String(s.dynstr, need.vn_file));
    std::uint64_t aux_at = at + need.vn_aux;
    for (unsigned j = 0; j < need.vn_cnt; ++j) {
      if (aux_at >= end) image.Fail("has version needs that run past their section");
      const auto aux = image.Read<Elf64_Vernaux>(aux_at, "version need");
      needs.push_back({aux_at, aux, library, std::string(image.String(s.dynstr, aux.vna_name))});
      if (aux.vna_next == 0) break;
      aux_at += aux.vna_next;
    }
    if (need.vn_next == 0) break;
    at += need.vn_next;
  }
  return needs;
}

// True when version is newer than the floor of its family; versions of other families
// (those of the host's other libraries) are not ours to judge.
bool BeyondFloor(const std::string& version, const std::vector<VersionFloor>& floors) {
  const auto cut = version.rfind('_');
  if (cut == std::string::npos) return false;
  const std::string_view family = std::string_view(version).substr(0, cut);
  const std::string_view number = std::string_view(version).substr(cut + 1);
  if (number.empty() || number.find_first_not_of("0123456789.") != std::string_view::npos)
    return false;
  for (const VersionFloor& f : floors)
    if (f.family == family) return CompareDottedVersions(number, f.oldest) > 0;
  return false;
}

const VersionSubstitution* Lookup(const std::vector<VersionSubstitution>& table,
                                  const Need& need, std::string_view symbol) {
  for (const VersionSubstitution& s : table)
    if (s.library == need.library && s.symbol == symbol && s.newer == need.version) return &s;
  return nullptr;
}

std::string Describe(const Need& need) {
  return need.version + " of " + need.library;
}

// Lowers one need beyond the floor, in image; the caller works on a copy.
void LowerNeed(Image& image, const Sections& s, const Need& need,
               const std::vector<VersionSubstitution>& table, LoweringResult& result) {
  const std::uint64_t count = s.versym.sh_size / sizeof(Elf64_Half);
  std::vector<std::uint64_t> users;
  const VersionSubstitution* first = nullptr;
  for (std::uint64_t i = 0; i < count; ++i) {
    const auto index = image.Read<Elf64_Half>(s.versym.sh_offset + i * sizeof(Elf64_Half), "symbol version");
    if ((index & 0x7fff) != need.entry.vna_other) continue;
    const auto symbol = image.Read<Elf64_Sym>(s.dynsym.sh_offset + i * sizeof(Elf64_Sym), "symbol");
    const std::string_view name = image.String(s.dynstr, symbol.st_name);
    const VersionSubstitution* found = Lookup(table, need, name);
    if (found == nullptr)
      image.Fail(std::string(name) + " needs " + Describe(need) +
                 ", newer than the oldest supported system has, and no older equivalent is known");
    if (first != nullptr && first->older != found->older)
      image.Fail(std::string(name) + " and " + std::string(first->symbol) + " share " +
                 Describe(need) + " but have different older equivalents");
    first = found;
    users.push_back(i);
    result.lowered.push_back({std::string(name), need.library, need.version, std::string(found->older)});
  }
  if (first == nullptr)
    image.Fail("needs " + Describe(need) + " for no symbol; that need cannot be lowered");
  Elf64_Vernaux entry = need.entry;
  if (first->older.empty()) {
    entry.vna_flags |= VER_FLG_WEAK;
    for (const std::uint64_t i : users)
      image.Write<Elf64_Half>(s.versym.sh_offset + i * sizeof(Elf64_Half), VER_NDX_GLOBAL);
    result.needs_provider = true;
  } else {
    const auto name = image.Find(s.dynstr, first->older);
    if (!name)
      image.Fail(std::string(first->symbol) + " needs " + Describe(need) + " and could use " +
                 std::string(first->older) + ", but the file has no string of that name");
    entry.vna_name = static_cast<Elf64_Word>(*name);
    entry.vna_hash = ElfHash(first->older);
  }
  image.Write(need.offset, entry);
}

}  // namespace

LoweringResult LowerVersionNeeds(std::vector<std::uint8_t>& bytes, const std::string& name,
                                 const std::vector<VersionSubstitution>& substitutions,
                                 const std::vector<VersionFloor>& floors) {
  std::vector<std::uint8_t> copy = bytes;
  Image image(copy, name);
  Sections sections;
  LoweringResult result;
  if (!FindSections(image, sections)) return result;
  for (const Need& need : ReadNeeds(image, sections)) {
    if ((need.entry.vna_flags & VER_FLG_WEAK) != 0 || !BeyondFloor(need.version, floors)) continue;
    LowerNeed(image, sections, need, substitutions, result);
  }
  if (!result.lowered.empty()) bytes.swap(copy);
  return result;
}

namespace {

std::vector<std::uint8_t> ReadWhole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ElfNeedsError(path.string() + ": cannot be opened: " + std::strerror(errno));
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw ElfNeedsError(path.string() + ": cannot be read");
  return bytes;
}

// Writes beside the file and renames over it, keeping its mode.
void Replace(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0)
    throw ElfNeedsError(path.string() + ": " + std::strerror(errno));
  const std::filesystem::path temporary = path.string() + ".lowering";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) {
      std::filesystem::remove(temporary);
      throw ElfNeedsError(temporary.string() + ": cannot be written");
    }
  }
  if (chmod(temporary.c_str(), info.st_mode & 07777) != 0 || rename(temporary.c_str(), path.c_str()) != 0) {
    const std::string why = std::strerror(errno);
    std::filesystem::remove(temporary);
    throw ElfNeedsError(path.string() + ": cannot be replaced: " + why);
  }
}

}  // namespace

LoweringResult LowerVersionNeedsInFile(const std::filesystem::path& path) {
  std::vector<std::uint8_t> bytes = ReadWhole(path);
  const LoweringResult result = LowerVersionNeeds(bytes, path.string(), KnownSubstitutions(), KnownFloors());
  if (!result.lowered.empty()) Replace(path, bytes);
  return result;
}

}  // namespace mw::buildtools
