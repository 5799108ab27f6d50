// The build step that lowers symbol-version needs, tried on small shared objects that each
// test compiles, which are then loaded by a real program with the loader of this machine.

#include "buildtools/elf_version_needs.h"

#include <elf.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>

#include "packer_test_support.h"

namespace mw::buildtools {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::RunProgram;
using test::RunResult;
using test::TempDir;
using test::WriteFile;

// A program found on PATH, as the build finds it.
std::string Which(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  std::istringstream path(std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin");
  for (std::string folder; std::getline(path, folder, ':');)
    if (!folder.empty() && access((folder + "/" + name).c_str(), X_OK) == 0) return folder + "/" + name;
  ADD_FAILURE() << name << " is not on PATH";
  return name;
}

RunResult Exec(std::vector<std::string> argv, std::map<std::string, std::string> env = {}) {
  argv[0] = Which(argv[0]);
  return RunProgram({argv, "", env});
}

// Compiles source (C, or C++ when the name ends in .cpp) into a shared object.
std::string SharedObject(const TempDir& dir, const std::string& name, const std::string& source,
                         std::vector<std::string> extra = {}) {
  const bool cxx = name.ends_with(".cpp");
  WriteFile(dir / name, source);
  const std::string out = dir / (name.substr(0, name.find('.')) + ".so");
  std::vector<std::string> argv{cxx ? "g++" : "gcc", "-shared", "-fPIC", "-O1", "-o", out, dir / name};
  argv.insert(argv.end(), extra.begin(), extra.end());
  const RunResult built = Exec(argv);
  EXPECT_EQ(built.exit_code, 0) << built.err;
  return out;
}

// A program that dlopens a library with every symbol bound at once, calls its
// "int mw_probe(void)" and prints the result; the loader's complaints go to stderr.
std::string Loader(const TempDir& dir) {
  WriteFile(dir / "loader.c", R"(#include <dlfcn.h>
#include <stdio.h>
int main(int argc, char** argv) {
  (void)argc;
  void* library = dlopen(argv[1], RTLD_NOW);
  if (!library) { fprintf(stderr, "%s\n", dlerror()); return 3; }
  int (*probe)(void) = (int (*)(void))dlsym(library, "mw_probe");
  if (!probe) { fprintf(stderr, "%s\n", dlerror()); return 4; }
  printf("%d\n", probe());
  return 0;
})");
  const RunResult built = Exec({"gcc", "-o", dir / "loader", dir / "loader.c", "-ldl"});
  EXPECT_EQ(built.exit_code, 0) << built.err;
  return dir / "loader";
}

std::string VersionNeeds(const std::string& file) { return Exec({"readelf", "-V", "-W", file}).out; }
std::string DynamicSymbols(const std::string& file) { return Exec({"objdump", "-T", file}).out; }

std::vector<std::uint8_t> Bytes(const std::string& path) {
  const std::string text = ReadFile(path);
  return {text.begin(), text.end()};
}

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

const char* const kHypotSource = R"(#include <math.h>
volatile double x = 3, y = 4, angle = 0;
int mw_probe(void) {
  return (int)(hypot(x, y) * 10 + hypotf((float)x, (float)y) + sin(angle));
})";

const char* const kWaitSource = R"(#include <condition_variable>
#include <mutex>
#include <thread>
extern "C" int mw_probe() {
  std::mutex mutex;
  std::condition_variable handed;
  int value = 0;
  std::thread giver([&] {
    std::lock_guard<std::mutex> lock(mutex);
    value = 42;
    handed.notify_one();
  });
  {
    std::unique_lock<std::mutex> lock(mutex);
    while (value == 0) handed.wait(lock);
  }
  giver.join();
  return value;
})";

const char* const kRandomSource = R"(#include <stdlib.h>
#include <string.h>
int mw_probe(void) {
  unsigned char a[32], b[32];
  arc4random_buf(a, sizeof a);
  arc4random_buf(b, sizeof b);
  return memcmp(a, b, sizeof a) != 0 ? 7 : 0;
})";

TEST(LowerVersionNeedsTest, NeedsWithAnOlderEntryPointAreRenamedAndStillBindAndRun) {
  TempDir dir;
  const std::string loader = Loader(dir);
  const std::string math = SharedObject(dir, "math.c", kHypotSource, {"-lm"});
  const std::string wait = SharedObject(dir, "wait.cpp", kWaitSource, {"-pthread"});
  ASSERT_NE(VersionNeeds(math).find("GLIBC_2.35"), std::string::npos) << "this toolchain links older hypot";
  ASSERT_NE(VersionNeeds(wait).find("GLIBCXX_3.4.30"), std::string::npos);

  const LoweringResult lowered_math = LowerVersionNeedsInFile(math);
  ASSERT_EQ(lowered_math.lowered.size(), 2u);
  EXPECT_FALSE(lowered_math.needs_provider);
  for (const LoweredNeed& need : lowered_math.lowered) {
    EXPECT_TRUE(need.symbol == "hypot" || need.symbol == "hypotf") << need.symbol;
    EXPECT_EQ(need.newer, "GLIBC_2.35");
    EXPECT_EQ(need.older, "GLIBC_2.2.5");
    EXPECT_EQ(need.library, "libm.so.6");
  }
  EXPECT_EQ(LowerVersionNeedsInFile(wait).lowered.size(), 1u);

  // libm is now asked for GLIBC_2.2.5 twice (sin needed it already); the loader accepts that
  // and binds hypot to its old entry point.
  const std::string math_needs = VersionNeeds(math);
  EXPECT_EQ(math_needs.find("GLIBC_2.35"), std::string::npos) << math_needs;
  EXPECT_GE(Count(math_needs, "Name: GLIBC_2.2.5"), 2u) << math_needs;
  EXPECT_NE(DynamicSymbols(math).find("(GLIBC_2.2.5) hypot"), std::string::npos);
  const RunResult math_run = Exec({loader, math}, {{"LD_DEBUG", "bindings"}});
  EXPECT_EQ(math_run.out, "55\n") << math_run.err;
  EXPECT_NE(math_run.err.find("normal symbol `hypot' [GLIBC_2.2.5]"), std::string::npos) << math_run.err;

  EXPECT_EQ(VersionNeeds(wait).find("GLIBCXX_3.4.30"), std::string::npos);
  const RunResult wait_run = Exec({loader, wait}, {{"LD_DEBUG", "bindings"}});
  EXPECT_EQ(wait_run.out, "42\n") << wait_run.err;
  EXPECT_NE(wait_run.err.find("condition_variable4waitERSt11unique_lockISt5mutexE' [GLIBCXX_3.4.11]"),
            std::string::npos);

  // A second pass finds nothing to do and leaves the bytes alone.
  const std::string before = ReadFile(math);
  EXPECT_TRUE(LowerVersionNeedsInFile(math).lowered.empty());
  EXPECT_EQ(ReadFile(math), before);
}

TEST(LowerVersionNeedsTest, ANeedWithoutOlderVersionBecomesWeakAndTheProviderServesIt) {
  TempDir dir;
  const std::string loader = Loader(dir);
  const std::string random = SharedObject(dir, "random.c", kRandomSource);
  ASSERT_NE(VersionNeeds(random).find("GLIBC_2.36"), std::string::npos);

  const LoweringResult result = LowerVersionNeedsInFile(random);
  ASSERT_EQ(result.lowered.size(), 1u);
  EXPECT_EQ(result.lowered[0].symbol, "arc4random_buf");
  EXPECT_TRUE(result.lowered[0].older.empty());
  EXPECT_TRUE(result.needs_provider);
  EXPECT_NE(VersionNeeds(random).find("Name: GLIBC_2.36  Flags: WEAK"), std::string::npos)
      << VersionNeeds(random);
  EXPECT_EQ(DynamicSymbols(random).find("(GLIBC_2.36)"), std::string::npos);

  fs::copy_file(MW_COMPAT_LIBRARY, dir / "libmwcompat.so.1");
  ASSERT_EQ(Exec({"patchelf", "--add-needed", "libmwcompat.so.1", random}).exit_code, 0);
  ASSERT_EQ(Exec({"patchelf", "--set-rpath", "$ORIGIN", random}).exit_code, 0);
  const RunResult run = Exec({loader, random});
  EXPECT_EQ(run.out, "7\n") << run.err;
}

// On an older system the library that should define the newer version lacks it. Played
// here with a library of the test's own: built with and then without version PROBE_2.
TEST(LowerVersionNeedsTest, AWeakNeedLoadsWhereTheVersionIsMissingAndBindsToTheProvider) {
  TempDir dir;
  const std::string loader = Loader(dir);
  fs::create_directory(dir / "new");
  fs::create_directory(dir / "old");
  WriteFile(dir / "new.map", "PROBE_1 { global: probe_old; local: *; };\nPROBE_2 { global: probe_new; } PROBE_1;\n");
  WriteFile(dir / "old.map", "PROBE_1 { global: probe_old; local: *; };\n");
  WriteFile(dir / "new/probe.c", "int probe_old(void) { return 1; }\nint probe_new(void) { return 2; }\n");
  WriteFile(dir / "old/probe.c", "int probe_old(void) { return 1; }\n");
  for (const char* age : {"new", "old"}) {
    const std::string folder = dir / age;
    ASSERT_EQ(Exec({"gcc", "-shared", "-fPIC", "-o", folder + "/libprobe.so.1", "-Wl,-soname,libprobe.so.1",
                   "-Wl,--version-script," + dir / (std::string(age) + ".map"), folder + "/probe.c"})
                  .exit_code,
              0);
  }
  WriteFile(dir / "provider.c", "int probe_new(void) { return 5; }\n");
  ASSERT_EQ(Exec({"gcc", "-shared", "-fPIC", "-o", dir / "old/libprovider.so", dir / "provider.c"}).exit_code, 0);
  WriteFile(dir / "user.c", "int probe_new(void);\nint mw_probe(void) { return probe_new(); }\n");
  const std::string user = dir / "old/user.so";
  ASSERT_EQ(Exec({"gcc", "-shared", "-fPIC", "-o", user, dir / "user.c", "-L" + dir / "new", "-l:libprobe.so.1",
                 "-Wl,-rpath,$ORIGIN"})
                .exit_code,
            0);

  // Unchanged, it does not load beside the old library.
  const RunResult refused = Exec({loader, user});
  EXPECT_EQ(refused.exit_code, 3);
  EXPECT_NE(refused.err.find("PROBE_2"), std::string::npos) << refused.err;

  std::vector<std::uint8_t> image = Bytes(user);
  const LoweringResult result =
      LowerVersionNeeds(image, user, {{"libprobe.so.1", "probe_new", "PROBE_2", ""}}, {{"PROBE", "1"}});
  ASSERT_TRUE(result.needs_provider);
  WriteFile(user, std::string(image.begin(), image.end()));
  ASSERT_EQ(Exec({"patchelf", "--add-needed", "libprovider.so", user}).exit_code, 0);
  const RunResult run = Exec({loader, user});
  EXPECT_EQ(run.out, "5\n") << run.err;
}

TEST(LowerVersionNeedsTest, UnknownNeedsAreRefusedByNameAndTheFileStaysAsItWas) {
  TempDir dir;
  // hypot alone could be lowered, arc4random_uniform has no known equivalent: nothing changes.
  const std::string mixed = SharedObject(dir, "mixed.c", R"(#include <math.h>
#include <stdlib.h>
volatile double x = 3;
int mw_probe(void) { return (int)hypot(x, x) + (int)arc4random_uniform(3); })",
                                         {"-lm"});
  const std::string before = ReadFile(mixed);
  try {
    LowerVersionNeedsInFile(mixed);
    ADD_FAILURE() << "accepted";
  } catch (const ElfNeedsError& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find(mixed), std::string::npos) << message;
    EXPECT_NE(message.find("arc4random_uniform"), std::string::npos) << message;
    EXPECT_NE(message.find("GLIBC_2.36"), std::string::npos) << message;
  }
  EXPECT_EQ(ReadFile(mixed), before);

  // An older version the file has no string for.
  const std::string math = SharedObject(dir, "math.c", kHypotSource, {"-lm"});
  std::vector<std::uint8_t> image = Bytes(math);
  const std::vector<std::uint8_t> math_before = image;
  try {
    LowerVersionNeeds(image, "math.so",
                      {{"libm.so.6", "hypot", "GLIBC_2.35", "GLIBC_2.1.9"},
                       {"libm.so.6", "hypotf", "GLIBC_2.35", "GLIBC_2.1.9"}},
                      KnownFloors());
    ADD_FAILURE() << "accepted";
  } catch (const ElfNeedsError& error) {
    EXPECT_NE(std::string(error.what()).find("GLIBC_2.1.9"), std::string::npos) << error.what();
  }
  EXPECT_EQ(image, math_before);
  // Symbols sharing one need must share its older version.
  try {
    LowerVersionNeeds(image, "math.so",
                      {{"libm.so.6", "hypot", "GLIBC_2.35", "GLIBC_2.2.5"},
                       {"libm.so.6", "hypotf", "GLIBC_2.35", ""}},
                      KnownFloors());
    ADD_FAILURE() << "accepted";
  } catch (const ElfNeedsError& error) {
    EXPECT_NE(std::string(error.what()).find("different older"), std::string::npos) << error.what();
  }
  EXPECT_EQ(image, math_before);

  // A library with no needs beyond the floor is left byte for byte.
  const std::string plain = SharedObject(dir, "plain.c", "#include <stdio.h>\nint mw_probe(void) { return puts(\"x\"); }\n");
  const std::string plain_before = ReadFile(plain);
  const auto plain_time = fs::last_write_time(plain);
  EXPECT_TRUE(LowerVersionNeedsInFile(plain).lowered.empty());
  EXPECT_EQ(ReadFile(plain), plain_before);
  EXPECT_EQ(fs::last_write_time(plain), plain_time);
}

TEST(LowerVersionNeedsTest, FilesThatAreNotWholeElfAreRefusedWithoutHarm) {
  TempDir dir;
  const std::string math = SharedObject(dir, "math.c", kHypotSource, {"-lm"});
  const std::vector<std::uint8_t> whole = Bytes(math);
  const auto refused = [&](std::vector<std::uint8_t> image, const std::string& expected) {
    const std::vector<std::uint8_t> before = image;
    try {
      LowerVersionNeeds(image, "damaged.so", KnownSubstitutions(), KnownFloors());
      return false;
    } catch (const ElfNeedsError& error) {
      EXPECT_NE(std::string(error.what()).find("damaged.so: "), std::string::npos);
      EXPECT_NE(std::string(error.what()).find(expected), std::string::npos) << error.what();
    }
    EXPECT_EQ(image, before);
    return true;
  };
  EXPECT_TRUE(refused({'#', '!', '/', 'b', 'i', 'n', '\n'}, "not an ELF file"));
  EXPECT_TRUE(refused({}, "not an ELF file"));
  for (const std::size_t size : {std::size_t{5}, std::size_t{63}, whole.size() / 2, whole.size() - 1})
    EXPECT_TRUE(refused({whole.begin(), whole.begin() + static_cast<long>(size)}, "cut short")) << size;
  std::vector<std::uint8_t> elf32 = whole;
  elf32[EI_CLASS] = ELFCLASS32;
  EXPECT_TRUE(refused(elf32, "64-bit"));

  // Damage anywhere gives a result or a refusal, never a read outside the bytes (the
  // sanitizer build checks that).
  std::mt19937 random(1234);
  for (int round = 0; round < 400; ++round) {
    std::vector<std::uint8_t> image = whole;
    for (int hit = 0; hit < 4; ++hit)
      image[random() % image.size()] = static_cast<std::uint8_t>(random());
    try {
      LowerVersionNeeds(image, "damaged.so", KnownSubstitutions(), KnownFloors());
    } catch (const ElfNeedsError&) {
    }
  }

  // The build step says which file it could not read and fails.
  WriteFile(dir / "notes.txt", "not a library\n");
  const RunResult run = Exec({MW_LOWER_TOOL, dir / "notes.txt"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.err.find(dir / "notes.txt"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(dir / "notes.txt"), "not a library\n");
}

TEST(LowerVersionNeedsTest, BuildStepReportsEachSymbolAndListsWhatNeedsTheProvider) {
  TempDir dir;
  const std::string math = SharedObject(dir, "math.c", kHypotSource, {"-lm"});
  const std::string random = SharedObject(dir, "random.c", kRandomSource);
  const RunResult run = Exec({MW_LOWER_TOOL, "--provider-list", dir / "list", math, random});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.out.find(math + ": hypot GLIBC_2.35 of libm.so.6 -> GLIBC_2.2.5\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(random + ": arc4random_buf GLIBC_2.36 of libc.so.6 -> weak"), std::string::npos);
  EXPECT_EQ(Count(run.out, "\n"), 3u) << run.out;
  EXPECT_EQ(ReadFile(dir / "list"), random + "\n");
  EXPECT_NE(fs::status(math).permissions() & fs::perms::owner_exec, fs::perms::none);
}

TEST(DottedVersionTest, ComparesPartByPartAsNumbers) {
  EXPECT_LT(CompareDottedVersions("2.2.5", "2.34"), 0);
  EXPECT_GT(CompareDottedVersions("2.35", "2.34"), 0);
  EXPECT_GT(CompareDottedVersions("3.4.30", "3.4.29"), 0);
  EXPECT_LT(CompareDottedVersions("3.4", "3.4.29"), 0);
  EXPECT_EQ(CompareDottedVersions("1.3.13", "1.3.13"), 0);
  EXPECT_GT(CompareDottedVersions("12.0.0", "7.0.0"), 0);
}

}  // namespace
}  // namespace mw::buildtools
