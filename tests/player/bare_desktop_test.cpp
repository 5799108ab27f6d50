// Packages played where nothing of ours is installed: a root folder holding only the
// libraries of bare-desktop.txt, the loader, /etc/fonts and one font family, entered with
// chroot inside a mount namespace of its own with /proc, /dev and an Xvfb's X socket bound
// in, and an environment of only HOME and DISPLAY (and the start report's file). Also the
// runtime cache and temporary folders that cannot run programs. Needs root.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <memory>

#include "jpeg_fixtures.h"
#include "package/make_package.h"
#include "package/makepackage.h"
#include "package/packageresult.h"
#include "package/progress.h"
#include "package/progress_reporter.h"
#include "player_folder.h"
#include "scripted_desktop.h"

namespace fs = std::filesystem;

namespace mw {
namespace {

constexpr const char* kHome = "/home/user";

// Reads "key=value" lines.
std::map<std::string, std::string> ReadReport(const std::string& path) {
  std::map<std::string, std::string> report;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    const auto equals = line.find('=');
    if (equals != std::string::npos) report[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return report;
}

// One Xvfb for the whole suite, on a display number it chooses itself.
class VirtualDisplay {
 public:
  VirtualDisplay() {
    server_.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1024x768x24"});
    while (number_.isEmpty() && server_.waitForReadyRead(10000)) {
      number_ = QString::fromLatin1(server_.readAllStandardOutput()).trimmed();
    }
  }
  ~VirtualDisplay() {
    server_.terminate();
    server_.waitForFinished(5000);
  }
  bool Running() const { return server_.state() == QProcess::Running && !number_.isEmpty(); }
  QString Name() const { return ":" + number_; }

 private:
  QProcess server_;
  QString number_;
};

struct InsideRun {
  int exitCode = -1;
  std::string errors;
  std::map<std::string, std::string> report;
};

class BareDesktopTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { display_ = new VirtualDisplay; }
  static void TearDownTestSuite() {
    delete display_;
    display_ = nullptr;
  }

  void SetUp() override {
#ifdef MW_SANITIZED
    GTEST_SKIP() << "A sanitized player's runtime carries the sanitizer's library, which no "
                    "bare desktop has.";
#endif
    if (geteuid() != 0) GTEST_SKIP() << "Entering a root folder needs root.";
    if (!display_->Running()) GTEST_SKIP() << "Xvfb cannot be started.";
    rootPath = root.filePath("root").toStdString();
    QProcess make;
    make.start(MW_SOURCE_DIR "/tests/support/make-bare-root",
               {MW_SOURCE_DIR "/resources/bare-desktop.txt", QString::fromStdString(rootPath)});
    ASSERT_TRUE(make.waitForFinished(60000));
    ASSERT_EQ(make.exitCode(), 0) << make.readAllStandardError().toStdString();
    program = root.filePath("program/").toStdString();
    fs::create_directories(program);
    for (const char* tool : {"runner.dll", "MarkWeaverL.dll", "tract.dll", "kecab.dll"})
      fs::copy_file(std::string(MW_BIN_DIR) + "/" + tool, program + tool);
    for (const char* part : {"player-runtime.tar.zst", "player-runtime-movie.tar.zst"})
      fs::create_symlink(std::string(MW_BIN_DIR) + "/" + part, program + part);
  }

  // Makes the package `name` of `map` through the editor's pipeline into the root's home.
  std::string MakePackage(const ClipMap& map, const std::string& name) {
    desktop.dialogScripts.push_back([name](QDialog& dialog) {
      auto& form = dynamic_cast<TMakePackageForm&>(dialog);
      form.SetPackageNameText(name);
      form.SetUserMessageText("Welcome");
      form.findChild<QPushButton*>("BitBtn2")->click();
      return form.result();
    });
    desktop.dialogScripts.push_back([](QDialog& dialog) {
      dialog.findChild<QPushButton*>("BitBtn3")->click();
      return dialog.result();
    });
    MakePackageButtonClick(
        {map, WindowSize{640, 480}, progress, desktop, program, options, result});
    const std::string inside = std::string(kHome) + "/" + name + ".exe";
    fs::copy_file(program + "Packages/" + name + ".exe", rootPath + inside);
    return inside;
  }

  // Starts `command` (a path inside the root) chrooted, with a bare environment; `mounts`
  // are more shell lines run before entering (e.g. a small tmpfs on the root's /tmp). The
  // start report goes to the home's file `reportName`.
  std::unique_ptr<QProcess> StartInside(const std::string& command, const std::string& mounts,
                                        const QStringList& extraEnvironment,
                                        const std::string& reportName) {
    const std::string report = std::string(kHome) + "/" + reportName;
    fs::remove(rootPath + report);
    const QString script = QString::fromStdString(
        "set -e; r=\"$1\"; mount --rbind /proc \"$r/proc\"; mount --rbind /dev \"$r/dev\"; "
        "mount --bind /tmp/.X11-unix \"$r/tmp/.X11-unix\"; " +
        mounts + " exec chroot \"$r\" \"$2\"");
    QStringList arguments{"-i", "HOME=" + QString(kHome), "DISPLAY=" + display_->Name(),
                          "MW_PLAYER_START_REPORT=" + QString::fromStdString(report)};
    arguments << extraEnvironment;
    arguments << "unshare"
              << "-m"
              << "sh"
              << "-c" << script << "sh" << QString::fromStdString(rootPath)
              << QString::fromStdString(command);
    auto process = std::make_unique<QProcess>();
    process->start("/usr/bin/env", arguments);
    return process;
  }

  InsideRun Finish(QProcess& process, const std::string& reportName) {
    if (!process.waitForFinished(90000)) {
      process.kill();
      process.waitForFinished();
    }
    InsideRun run;
    run.exitCode = process.exitCode();
    run.errors = process.readAllStandardError().toStdString();
    run.report = ReadReport(rootPath + kHome + "/" + reportName);
    return run;
  }

  InsideRun RunInside(const std::string& command, const std::string& mounts = "",
                      const QStringList& extraEnvironment = {}) {
    auto process = StartInside(command, mounts, extraEnvironment, "report");
    return Finish(*process, "report");
  }

  // Waits until the report in the home's file `reportName` names `clip`; the last report
  // read, or an empty one when none came within 60 s.
  std::map<std::string, std::string> AwaitReportOf(const std::string& clip,
                                                   const std::string& reportName) {
    const std::string path = rootPath + kHome + "/" + reportName;
    std::map<std::string, std::string> report;
    for (int waited = 0; waited < 600; ++waited) {
      report = ReadReport(path);
      if (report["clip"] == clip) return report;
      usleep(100000);
    }
    return report;
  }

  // Acts on the display as a person would, with xdotool from outside the root.
  static bool ActOnDisplay(const QStringList& actions) {
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", display_->Name());
    tool.setProcessEnvironment(environment);
    tool.start("xdotool", actions);
    return tool.waitForFinished(10000) && tool.exitCode() == 0;
  }

  std::string CacheFolder() const {
    return rootPath + kHome + "/.cache/markweaver";
  }

  // The runtime folders unpacked into the cache (unpacked packages left out).
  std::vector<std::string> CacheEntries() const {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(CacheFolder(), error))
      if (!entry.path().filename().string().starts_with("pkg-"))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  void ExpectTempEmpty() {
    for (const auto& left : fs::directory_iterator(rootPath + "/tmp")) {
      if (left.path().filename() != ".X11-unix") ADD_FAILURE() << "left: " << left.path();
    }
  }

  ClipMap PhotoTour() {
    test::WriteJpeg(clips.File("hall.jpg"), 320, 240);
    test::WriteJpeg(clips.File("kitchen.jpg"), 320, 240);
    ClipMap map;
    map.Append(
        test::Mark(clips.File("hall.jpg"), 0.5f, 0.5f, 10, clips.File("kitchen.jpg"), "Kitchen"));
    map.Append(
        test::Mark(clips.File("kitchen.jpg"), 0.5f, 0.5f, 10, clips.File("hall.jpg"), "Hall"));
    return map;
  }

  static VirtualDisplay* display_;
  QTemporaryDir root;
  std::string rootPath, program;
  test::PlayerFolder clips;
  test::ScriptedDesktop desktop;
  TProgressForm progressForm;
  ProgressReporter progress{&progressForm};
  TMakePackageForm options{desktop};
  TPackageResultForm result{desktop};
};

VirtualDisplay* BareDesktopTest::display_ = nullptr;

TEST_F(BareDesktopTest, PhotoPackageShowsItsStartClipAndUnpacksItsRuntimeOnce) {
  const std::string package = MakePackage(PhotoTour(), "photos");
  InsideRun first = RunInside(package);
  EXPECT_EQ(first.exitCode, 0) << first.errors;
  EXPECT_EQ(first.report.at("clip"), "hall.jpg") << first.errors;
  EXPECT_EQ(first.report.at("kind"), "photo");
  EXPECT_EQ(first.report.at("message"), "Welcome");
  ExpectTempEmpty();
  // Only the photo part: a map without movies carries no movie libraries.
  const std::vector<std::string> cached = CacheEntries();
  ASSERT_EQ(cached.size(), 1u);
  const fs::path part = fs::path(CacheFolder()) / cached[0];
  EXPECT_TRUE(fs::exists(part / "mwRun.lib/libQt6Widgets.so.6"));
  EXPECT_FALSE(fs::exists(part / "mwRun.movie"));
  EXPECT_EQ(fs::status(part).permissions() & fs::perms::all, fs::perms::owner_all);

  // A second start uses the cached folder as it is.
  const auto made = fs::last_write_time(part / "mwRun.lib/libQt6Widgets.so.6");
  InsideRun second = RunInside(package);
  EXPECT_EQ(second.report["clip"], "hall.jpg") << second.errors;
  EXPECT_EQ(fs::last_write_time(part / "mwRun.lib/libQt6Widgets.so.6"), made);
  EXPECT_EQ(CacheEntries(), cached);

  // A damaged cache folder (a library cut short) is found and made again.
  fs::resize_file(part / "mwRun.lib/libQt6Widgets.so.6", 100);
  InsideRun repaired = RunInside(package);
  EXPECT_EQ(repaired.report["clip"], "hall.jpg") << repaired.errors;
  EXPECT_GT(fs::file_size(part / "mwRun.lib/libQt6Widgets.so.6"), 100u);
  EXPECT_EQ(CacheEntries(), cached);
}

TEST_F(BareDesktopTest, AClickOnAMarkFollowsItAndEscapeEnds) {
  if (QStandardPaths::findExecutable("xdotool").isEmpty()) GTEST_SKIP() << "No xdotool.";
  const std::string package = MakePackage(PhotoTour(), "photos");
  auto process = StartInside(package, "", {"MW_PLAYER_REPORT_EACH_CLIP=1"}, "report");
  std::map<std::string, std::string> start = AwaitReportOf("hall.jpg", "report");
  ASSERT_EQ(start["clip"], "hall.jpg") << process->readAllStandardError().toStdString();
  const QStringList mark = QString::fromStdString(start["mark"]).split(',');
  ASSERT_EQ(mark.size(), 2) << start["mark"];

  ASSERT_TRUE(ActOnDisplay({"mousemove", mark[0], mark[1], "click", "1"}));
  EXPECT_EQ(AwaitReportOf("kitchen.jpg", "report")["clip"], "kitchen.jpg");
  ASSERT_TRUE(ActOnDisplay({"key", "Escape"}));
  InsideRun run = Finish(*process, "report");
  EXPECT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_EQ(run.report["clip"], "kitchen.jpg");
  ExpectTempEmpty();
}

TEST_F(BareDesktopTest, TwoPackagesStartedAtOnceShareOneCacheFolder) {
  const std::string package = MakePackage(PhotoTour(), "photos");
  auto first = StartInside(package, "", {}, "report1");
  auto second = StartInside(package, "", {}, "report2");
  InsideRun one = Finish(*first, "report1");
  InsideRun two = Finish(*second, "report2");
  EXPECT_EQ(one.report["clip"], "hall.jpg") << one.errors;
  EXPECT_EQ(two.report["clip"], "hall.jpg") << two.errors;
  EXPECT_EQ(CacheEntries().size(), 1u);  // no half-made folder left beside it
  ExpectTempEmpty();
}

TEST_F(BareDesktopTest, MoviePackageShowsItsStartMovie) {
  fs::copy_file(std::string(MW_TEST_DATA_DIR) + "/media/rgb.mpg", clips.File("rgb.mpg"));
  test::WriteJpeg(clips.File("hall.jpg"), 320, 240);
  ClipMap map;
  map.Append(test::Mark(clips.File("rgb.mpg"), 0.5f, 0.5f, 10, clips.File("hall.jpg"), "Hall"));
  InsideRun run = RunInside(MakePackage(map, "movie"));
  EXPECT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_EQ(run.report["clip"], "rgb.mpg") << run.errors;
  EXPECT_EQ(run.report["kind"], "movie") << run.errors;
  EXPECT_EQ(CacheEntries().size(), 2u);
  ExpectTempEmpty();
}

// Movies with sound of each kind a package plays, on the runtime's own movie libraries and
// the host's alone: none of the runtime's stand-ins is reached.
TEST_F(BareDesktopTest, MoviesWithSoundPlayWithoutReachingAStandIn) {
  test::WriteJpeg(clips.File("hall.jpg"), 320, 240);
  for (const char* movie : {"sound-mpeg1.mpg", "sound-mpeg2.mpeg", "sound-h264.mp4"}) {
    fs::copy_file(std::string(MW_TEST_DATA_DIR) + "/media/" + movie, clips.File(movie));
    ClipMap map;
    map.Append(test::Mark(clips.File(movie), 0.5f, 0.5f, 10, clips.File("hall.jpg"), "Hall"));
    const std::string log = std::string(kHome) + "/stand-ins.log";
    InsideRun run = RunInside(MakePackage(map, fs::path(movie).stem().string()), "",
                              {"MW_STAND_IN_LOG=" + QString::fromStdString(log)});
    EXPECT_EQ(run.exitCode, 0) << movie << run.errors;
    EXPECT_EQ(run.report["clip"], movie) << run.report["caption"] << run.errors;
    EXPECT_EQ(run.report["kind"], "movie") << movie;
    EXPECT_FALSE(fs::exists(rootPath + log)) << "stand-ins called while playing " << movie;
  }
}

TEST_F(BareDesktopTest, ReadOnlyCacheStillPlays) {
  const std::string package = MakePackage(PhotoTour(), "photos");
  fs::create_directories(rootPath + kHome + "/.cache");
  fs::permissions(rootPath + kHome + "/.cache", fs::perms::owner_read | fs::perms::owner_exec);
  // Root ignores permission bits: a read-only mount makes the cache truly unwritable.
  InsideRun run = RunInside(package,
                            "mount --bind -o ro \"$r/home/user/.cache\" "
                            "\"$r/home/user/.cache\";");
  EXPECT_EQ(run.report["clip"], "hall.jpg") << run.errors;
  EXPECT_TRUE(CacheEntries().empty());
  ExpectTempEmpty();
}

TEST_F(BareDesktopTest, NoexecTemporaryFolderFallsBackToTheRuntimeFolder) {
  const std::string package = MakePackage(PhotoTour(), "photos");
  fs::create_directories(rootPath + "/run/user");
  InsideRun run = RunInside(package,
                            "mount -t tmpfs -o noexec,size=8m none \"$r/tmp\"; "
                            "mkdir \"$r/tmp/.X11-unix\"; "
                            "mount --bind /tmp/.X11-unix \"$r/tmp/.X11-unix\"; "
                            "mount -t tmpfs -o size=64m none \"$r/run/user\";",
                            {"XDG_RUNTIME_DIR=/run/user"});
  EXPECT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_EQ(run.report["clip"], "hall.jpg") << run.errors;
  // It plays from the package's folder in the cache; its work folder is in /run/user.
  EXPECT_TRUE(run.report["folder"].starts_with(std::string(kHome) + "/.cache/markweaver/pkg-"))
      << run.report["folder"];
}

TEST_F(BareDesktopTest, FullTemporaryFolderPlaysFromTheCacheFolder) {
  const std::string package = MakePackage(PhotoTour(), "photos");
  // The runtime is cached by the first run; then the clips meet a full /tmp.
  RunInside(package);
  InsideRun run = RunInside(package,
                            "mount -t tmpfs -o size=64k none \"$r/tmp\"; "
                            "mkdir \"$r/tmp/.X11-unix\"; "
                            "mount --bind /tmp/.X11-unix \"$r/tmp/.X11-unix\";");
  EXPECT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_EQ(run.report["clip"], "hall.jpg") << run.errors;
  EXPECT_TRUE(run.report["folder"].starts_with(std::string(kHome) + "/.cache/markweaver/pkg-"))
      << run.report["folder"];
}

// A cached library damaged after it was unpacked (its size unchanged, its start no longer a
// library): the loader cannot start the player, the runtime is unpacked again and it plays.
TEST_F(BareDesktopTest, ACachedLibraryDamagedLaterIsUnpackedAgainAndPlays) {
  const std::string package = MakePackage(PhotoTour(), "photos");
  RunInside(package);
  const std::vector<std::string> cached = CacheEntries();
  ASSERT_EQ(cached.size(), 1u);
  const fs::path library = fs::path(CacheFolder()) / cached[0] / "mwRun.lib/libQt6Core.so.6";
  {
    std::fstream file(library, std::ios::in | std::ios::out | std::ios::binary);
    file.write("damaged!", 8);
  }
  InsideRun run = RunInside(package);
  EXPECT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_EQ(run.report["clip"], "hall.jpg") << run.errors;
  EXPECT_NE(run.errors.find("unpacked again"), std::string::npos) << run.errors;
  ExpectTempEmpty();
}

}  // namespace
}  // namespace mw
