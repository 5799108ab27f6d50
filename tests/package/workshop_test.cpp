// The per-user workshop folder of an installed editor and the lock that keeps two
// package builds apart, on real folders.
#include "package/workshop.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <thread>

#include "../map/temp_folder.h"
#include "package/build_lock.h"

namespace fs = std::filesystem;

namespace mw {
namespace {

using test::ReadText;
using test::TempFolder;
using test::WriteText;

ino_t Inode(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

// Sets an environment variable for one test and puts the old value back.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedVariable() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class WorkshopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(program_);
    for (const char* name : {"runner.dll", "MarkWeaverL.dll", "tract.dll", "kecab.dll"}) {
      WriteText(program_ + name, std::string("program ") + name);
      fs::permissions(program_ + name, fs::perms::owner_all);
    }
    WriteText(program_ + "readme.txt", "help");
  }
  std::string Ours(const std::string& name) const { return workshop_ + name; }

  TempFolder root_;
  std::string program_ = root_.Path() + "/program/";
  std::string workshop_ = root_.Path() + "/data/markweaver/";
};

TEST_F(WorkshopTest, HoldsCopiesOfTheToolsAndLinksToTheRuntimes) {
  WriteText(program_ + "player-runtime.tar.zst", "runtime");
  ASSERT_FALSE(PrepareWorkshop(program_, workshop_).Any());
  for (const char* name : {"runner.dll", "MarkWeaverL.dll", "tract.dll", "kecab.dll"}) {
    EXPECT_FALSE(fs::is_symlink(Ours(name))) << name;
    EXPECT_EQ(ReadText(Ours(name)), std::string("program ") + name);
    EXPECT_EQ(fs::status(Ours(name)).permissions() & fs::perms::owner_exec, fs::perms::owner_exec);
  }
  EXPECT_EQ(ReadText(Ours("readme.txt")), "help");
  EXPECT_TRUE(fs::is_symlink(Ours("player-runtime.tar.zst")));
  EXPECT_EQ(ReadText(Ours("player-runtime.tar.zst")), "runtime");
  EXPECT_FALSE(fs::exists(fs::symlink_status(Ours("player-runtime-movie.tar.zst"))));
  for (const auto& entry : fs::directory_iterator(workshop_))
    EXPECT_EQ(entry.path().string().find(".partial"), std::string::npos) << entry.path();
}

TEST_F(WorkshopTest, FollowsTheProgramFolderWhenItChanges) {
  ASSERT_FALSE(PrepareWorkshop(program_, workshop_).Any());
  const ino_t before = Inode(Ours("kecab.dll"));
  // Unchanged originals are not copied again.
  ASSERT_FALSE(PrepareWorkshop(program_, workshop_).Any());
  EXPECT_EQ(Inode(Ours("kecab.dll")), before);

  // A new program version of the same size: the time tells.
  WriteText(program_ + "kecab.dll", "program kecab.dlX");
  fs::last_write_time(program_ + "kecab.dll",
                      fs::last_write_time(program_ + "kecab.dll") + std::chrono::seconds(5));
  // An original that went away goes from the workshop too.
  fs::remove(program_ + "tract.dll");
  ASSERT_FALSE(PrepareWorkshop(program_, workshop_).Any());
  EXPECT_EQ(ReadText(Ours("kecab.dll")), "program kecab.dlX");
  EXPECT_FALSE(fs::exists(Ours("tract.dll")));
}

TEST_F(WorkshopTest, ToolsLeftRenamedByACutOffBuildAreRemoved) {
  ASSERT_FALSE(PrepareWorkshop(program_, workshop_).Any());
  fs::rename(Ours("tract.dll"), Ours("wextract.exe"));
  fs::rename(Ours("kecab.dll"), Ours("makecab.exe"));
  ASSERT_FALSE(PrepareWorkshop(program_, workshop_).Any());
  EXPECT_TRUE(fs::exists(Ours("tract.dll")));
  EXPECT_TRUE(fs::exists(Ours("kecab.dll")));
  EXPECT_FALSE(fs::exists(Ours("wextract.exe")));
  EXPECT_FALSE(fs::exists(Ours("makecab.exe")));
}

TEST_F(WorkshopTest, AFolderThatCannotBeMadeIsNamed) {
  WriteText(root_.Path() + "/file", "x");
  EXPECT_EQ(PrepareWorkshop(program_, root_.Path() + "/file/markweaver/").path,
            root_.Path() + "/file/markweaver/");
}

TEST(WorkshopFolderTest, ComesFromTheDataHomeOrTheHomeFolder) {
  {
    ScopedVariable data("XDG_DATA_HOME", "/srv/data");
    ScopedVariable home("HOME", "/home/ann");
    EXPECT_EQ(WorkshopFolder(), "/srv/data/markweaver/");
  }
  {
    ScopedVariable data("XDG_DATA_HOME", "relative/data");  // not absolute: passed over
    ScopedVariable home("HOME", "/home/ann/");
    EXPECT_EQ(WorkshopFolder(), "/home/ann/.local/share/markweaver/");
  }
  {
    ScopedVariable data("XDG_DATA_HOME", nullptr);
    ScopedVariable home("HOME", nullptr);
    EXPECT_EQ(WorkshopFolder(), "");
  }
}

TEST(WorkshopFolderTest, AWritableProgramFolderIsUsedItself) {
  TempFolder folder;
  EXPECT_EQ(BuildFolderFor(folder.Path()), folder.Path() + "/");
  ScopedVariable data("XDG_DATA_HOME", "/srv/data");
  EXPECT_EQ(BuildFolderFor(folder.Path() + "/missing"), "/srv/data/markweaver/");
}

TEST(BuildLockTest, OneBuildAtATimeHoldsAFolder) {
  TempFolder folder;
  auto first = std::make_unique<BuildLock>(folder.Path());
  ASSERT_TRUE(first->Held());
  {
    BuildLock second(folder.Path());
    EXPECT_FALSE(second.Held());
    EXPECT_TRUE(second.Busy());
  }
  // Another folder is free.
  TempFolder other;
  EXPECT_TRUE(BuildLock(other.Path()).Held());

  // A waiting build goes on once the first ends.
  std::promise<void> started;
  auto waiter = std::async(std::launch::async, [&] {
    BuildLock second(folder.Path());
    started.set_value();
    return second.Wait() && second.Held();
  });
  started.get_future().wait();
  EXPECT_EQ(waiter.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
  first.reset();
  EXPECT_TRUE(waiter.get());
  EXPECT_TRUE(BuildLock(folder.Path()).Held());
}

TEST(BuildLockTest, AFolderThatCannotHoldTheLockIsNotBusy) {
  BuildLock lock("/nonexistent/folder");
  EXPECT_FALSE(lock.Held());
  EXPECT_FALSE(lock.Busy());
  EXPECT_FALSE(lock.Wait());
}

}  // namespace
}  // namespace mw
