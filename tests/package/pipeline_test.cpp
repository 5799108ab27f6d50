// Make Package run end to end in a temporary program folder, with a stand-in package
// build tool run as a real process and the person at the dialogs scripted.
#include <gtest/gtest.h>

#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "map/map_file.h"
#include "package/build_lock.h"
#include "package/make_package.h"
#include "package/makepackage.h"
#include "package/packageresult.h"
#include "package/progress.h"
#include "package/progress_reporter.h"
#include "package_test_folder.h"
#include "scripted_desktop.h"

namespace fs = std::filesystem;

namespace mw {
namespace {

using test::ReadFile;
using test::WriteFile;
using Steps = std::vector<std::pair<std::string, int>>;

// The real reporter, also noting every step for the test.
class RecordingReporter : public ProgressReporter {
 public:
  using ProgressReporter::ProgressReporter;
  void ReportProgress(const std::string& text, int percent) override {
    steps.emplace_back(text, percent);
    ProgressReporter::ReportProgress(text, percent);
  }
  void KeepPainted() override {
    ++paintsWhileWaiting;
    if (whileWaiting) whileWaiting();
    ProgressReporter::KeepPainted();
  }
  Steps steps;
  int paintsWhileWaiting = 0;
  std::function<void()> whileWaiting;
};

class MakePackageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = fs::current_path();
    fs::current_path(folder.Start());
  }
  void TearDown() override { fs::current_path(saved_); }

  void Run() {
    MakePackageButtonClick(
        {map, WindowSize{610, 545}, progress, desktop, folder.Program(), options, result});
  }

  void AddMark(const std::string& clip, const std::string& next, const std::string& hint = "") {
    ClickerMark mark;
    mark.Clip = clip;
    mark.NextClip = next;
    mark.Hint = hint;
    map.Append(mark);
  }

  // The person presses "Start Making Package" after typing `name` and `message`.
  void AcceptOptions(const std::string& name = "program1", const std::string& message = "") {
    desktop.dialogScripts.push_back([name, message](QDialog& dialog) {
      auto& form = dynamic_cast<TMakePackageForm&>(dialog);
      form.SetPackageNameText(name);
      form.SetUserMessageText(message);
      form.findChild<QPushButton*>("BitBtn2")->click();
      return form.result();
    });
  }

  // The person types `location` as the File location and presses "Start Making Package".
  void AcceptOptionsWithLocation(const std::string& location) {
    desktop.dialogScripts.push_back([location](QDialog& dialog) {
      auto& form = dynamic_cast<TMakePackageForm&>(dialog);
      form.SetLocationText(location);
      form.findChild<QPushButton*>("BitBtn2")->click();
      return form.result();
    });
  }

  // The person returns to the editor from the result window; `look` sees the
  // program folder while the window is open.
  void ReturnFromResult(std::function<void()> look = {}) {
    desktop.dialogScripts.push_back([look](QDialog& dialog) {
      if (look) look();
      dialog.findChild<QPushButton*>("BitBtn3")->click();
      return dialog.result();
    });
  }

  std::string Program(const std::string& name) const { return folder.Program() + name; }
  std::string PackagePath() const { return Program("Packages/program1.exe"); }

  // What every run that reached the clean-up leaves: no directive file, no staging
  // folder, the tool files at rest, the start folder current, no progress window.
  void ExpectCleanedUp() {
    EXPECT_FALSE(fs::exists(Program("mwdat.dat")));
    EXPECT_FALSE(fs::exists(Program("ptemp")));
    EXPECT_TRUE(fs::exists(Program("tract.dll")));
    EXPECT_TRUE(fs::exists(Program("kecab.dll")));
    EXPECT_FALSE(fs::exists(Program("wextract.exe")));
    EXPECT_FALSE(fs::exists(Program("makecab.exe")));
    EXPECT_EQ(fs::current_path(), fs::path(folder.Start()).parent_path());
    EXPECT_FALSE(progressForm.isVisible());
    EXPECT_FALSE(progressForm.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  }

  test::PackageTestFolder folder;
  test::ScriptedDesktop desktop;
  TProgressForm progressForm;
  RecordingReporter progress{&progressForm};
  TMakePackageForm options{desktop};
  TPackageResultForm result{desktop};
  ClipMap map;

 private:
  fs::path saved_;
};

TEST_F(MakePackageTest, EmptyMapOnlySaysSo) {
  Run();
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0].text, "Your map is empty.");
  EXPECT_EQ(desktop.messages[0].title, "Can't");
  EXPECT_TRUE(desktop.modalDialogs.empty());
  EXPECT_FALSE(fs::exists(Program("Packages")));
}

TEST_F(MakePackageTest, CancelledOptionsLeaveOnlyThePackagesFolder) {
  AddMark(folder.AddClip("a.jpg", "a"), folder.AddClip("b.jpg", "b"));
  options.SetLocationText("/somewhere/else/");
  Run();
  EXPECT_EQ(desktop.modalDialogs, std::vector<std::string>{"MakePackageForm"});
  EXPECT_EQ(options.LocationText(), Program("Packages/"));
  EXPECT_TRUE(fs::is_directory(Program("Packages")));
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_TRUE(progress.steps.empty());
  EXPECT_FALSE(fs::exists(Program("ptemp")));
  EXPECT_FALSE(progressForm.isVisible());
}

TEST_F(MakePackageTest, NextBuildOffersTheLastNameAndMessage) {
  AddMark(folder.AddClip("a.jpg", "a"), folder.AddClip("b.jpg", "b"));
  AcceptOptions("tour", "Hello");
  ReturnFromResult();
  Run();
  EXPECT_TRUE(fs::exists(Program("Packages/tour.exe")));
  std::string nameShown, messageShown;
  desktop.dialogScripts.push_back([&](QDialog& dialog) {
    auto& form = dynamic_cast<TMakePackageForm&>(dialog);
    nameShown = form.PackageNameText();
    messageShown = form.UserMessageText();
    return kModalCancel;
  });
  Run();
  EXPECT_EQ(nameShown, "tour");
  EXPECT_EQ(messageShown, "Hello");
}

TEST_F(MakePackageTest, BuildsThePackageStepByStep) {
  const std::string hall = folder.AddClip("rooms/hall.jpg", "hall photo");
  const std::string kitchen = folder.AddClip("movies/kitchen.mpg", "kitchen movie");
  AddMark(hall, kitchen, "Go to the kitchen");
  AddMark(kitchen, hall, "Back");
  WriteFile(PackagePath(), "old package");
  AcceptOptions("program1", "Enjoy \"the\" tour");
  bool stagedWhileShown = false;
  ReturnFromResult([&] { stagedWhileShown = fs::exists(Program("ptemp/mwRun.exe")); });
  Run();

  EXPECT_TRUE(desktop.messages.empty()) << desktop.MessageTexts()[0];
  EXPECT_EQ(progress.steps, (Steps{{"Collecting clips", 5},
                                   {"Preparing folder for collecting clips", 10},
                                   {"Start copying clips", 1},
                                   {"Copying kitchen.mpg", 0},
                                   {"Copying hall.jpg", 1},
                                   {"Preparing package settings", 15},
                                   {"Pre-packaging kitchen.mpg", 15},
                                   {"Pre-packaging hall.jpg", 16},
                                   {"Preparing package file...", 50},
                                   {"Removing old files", 52},
                                   {"Checking libraries...", 55},
                                   {"Making package...", 60},
                                   {"Checking package...", 75},
                                   {"Finalizing...", 100}}));
  EXPECT_EQ(desktop.pauses, std::vector<int>{1000});
  EXPECT_EQ(desktop.modalDialogs,
            (std::vector<std::string>{"MakePackageForm", "PackageResultForm"}));
  EXPECT_TRUE(stagedWhileShown);
  EXPECT_EQ(result.LocateCaption(), "Locate program1.exe");
  EXPECT_EQ(result.PackagePathText(), PackagePath());
  EXPECT_EQ(ReadFile(PackagePath()), "package of hall.jpg kitchen.mpg mwRun mwRun.exe \n");

  // What the tool was given: the staged files and the directive file.
  EXPECT_EQ(ReadFile(Program("seen-staging/hall.jpg")), "hall photo");
  EXPECT_EQ(ReadFile(Program("seen-staging/kitchen.mpg")), "kitchen movie");
  EXPECT_EQ(ReadFile(Program("seen-staging/mwRun.exe")), "player program\n");
  MapFileContent data = ReadMapFile(Program("seen-staging/mwRun"));
  ASSERT_EQ(data.marks.Count(), 2u);
  EXPECT_EQ(data.windowSize, (WindowSize{610, 545}));
  EXPECT_EQ(data.marks.At(0).Clip, "hall.jpg");
  EXPECT_EQ(data.marks.At(0).NextClip, "kitchen.mpg");
  EXPECT_EQ(data.marks.At(1).Hint, "Back");
  const std::string directive = ReadFile(Program("seen-directive.txt"));
  EXPECT_NE(directive.find("\r\nTargetName=" + PackagePath() + "\r\n"), std::string::npos);
  EXPECT_NE(directive.find("\r\nAppLaunched=mwRun.exe \"Enjoy \"the\" tour\"\r\n"),
            std::string::npos);
  EXPECT_NE(directive.find("\r\nFILE2=\"kitchen.mpg\"\r\nFILE3=\"hall.jpg\"\r\n"),
            std::string::npos);
  EXPECT_NE(directive.find("\r\nSourceFiles0=" + Program("ptemp/") + "\r\n"), std::string::npos);

  EXPECT_EQ(map.At(0).Clip, hall);
  ExpectCleanedUp();
  EXPECT_TRUE(fs::exists(Program("MarkWeaverL.dll")));
  EXPECT_TRUE(fs::exists(Program("runner.dll")));
}

TEST_F(MakePackageTest, ExactlyFiveMebibytesAsksNothing) {
  AddMark(folder.AddSizedClip("a.mpg", 5242880 - 1000), folder.AddSizedClip("b.jpg", 1000));
  AcceptOptions();
  ReturnFromResult();
  Run();
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_TRUE(fs::exists(PackagePath()));
  ExpectCleanedUp();
}

TEST_F(MakePackageTest, OneByteMoreAsksAndNoStopsBeforeStaging) {
  AddMark(folder.AddSizedClip("a.mpg", 5242880 - 999), folder.AddSizedClip("b.jpg", 1000));
  AcceptOptions();
  desktop.messageAnswers.push_back(MessageAnswer::No);
  Run();
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0].title, "Please note");
  EXPECT_EQ(desktop.messages[0].buttons, MessageButtons::YesNo);
  EXPECT_EQ(desktop.messages[0].text,
            "The total file size of your package is likely to exceed 5 MegaBytes.\n"
            "It may take a while to process the package. do you want to continue?");
  EXPECT_EQ(progress.steps, (Steps{{"Collecting clips", 5}}));
  EXPECT_FALSE(fs::exists(Program("ptemp")));
  EXPECT_FALSE(fs::exists(Program("mwdat.dat")));
  EXPECT_FALSE(fs::exists(PackagePath()));
  ExpectCleanedUp();
}

TEST_F(MakePackageTest, TotalAboveFourGibibytesStillAsks) {
  // Sparse files: 4 GiB + 1 KiB would wrap a 32-bit total to 1 KiB.
  AddMark(folder.AddSizedClip("big.mpg", (std::uint64_t{1} << 32)),
          folder.AddSizedClip("small.jpg", 1024));
  AcceptOptions();
  desktop.messageAnswers.push_back(MessageAnswer::No);
  Run();
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0].title, "Please note");
  ExpectCleanedUp();
}

TEST_F(MakePackageTest, MissingClipFailsAtItsCopyStep) {
  AddMark(folder.AddClip("a.jpg", "a"), folder.Clips() + "gone.jpg");
  AcceptOptions();
  Run();
  EXPECT_EQ(desktop.MessageTexts(),
            (std::vector<std::string>{"Failed Copying gone.jpg(progress=1)."}));
  EXPECT_EQ(desktop.messages[0].title, "");
  EXPECT_EQ(desktop.modalDialogs, std::vector<std::string>{"MakePackageForm"});
  ExpectCleanedUp();
}

// A relative clip means the file seen from the folder the editor reads clips from (the
// map's folder), never a file of that name in the program folder the build works in.
TEST_F(MakePackageTest, RelativeClipIsTakenFromTheEditorsFolderNotTheProgramFolder) {
  WriteFile(folder.Start() + "readme.txt", "the tour's own notes");
  AddMark("readme.txt", "readme.txt");
  AcceptOptions();
  ReturnFromResult();
  Run();
  EXPECT_TRUE(desktop.messages.empty()) << desktop.MessageTexts()[0];
  EXPECT_EQ(ReadFile(Program("seen-staging/readme.txt")), "the tour's own notes");
  EXPECT_EQ(ReadFile(Program("readme.txt")), "help\n");
  ExpectCleanedUp();
}

TEST_F(MakePackageTest, RelativeClipThatTheCheckFindsIsPackaged) {
  WriteFile(folder.Start() + "rooms/hall.jpg", "hall beside the map");
  AddMark("rooms/hall.jpg", "rooms/hall.jpg");
  AcceptOptions();
  ReturnFromResult();
  Run();
  EXPECT_TRUE(desktop.messages.empty()) << desktop.MessageTexts()[0];
  EXPECT_EQ(ReadFile(Program("seen-staging/hall.jpg")), "hall beside the map");
  EXPECT_EQ(ReadFile(PackagePath()), "package of hall.jpg mwRun mwRun.exe \n");
  ExpectCleanedUp();
}

TEST_F(MakePackageTest, MissingPlayerFailsAfterSayingSo) {
  fs::remove(Program("runner.dll"));
  AddMark(folder.AddClip("a.jpg", "a"), folder.AddClip("b.jpg", "b"));
  AcceptOptions();
  Run();
  EXPECT_EQ(desktop.MessageTexts(),
            (std::vector<std::string>{"Missing runner.dll", "Failed Copying b.jpg(progress=1)."}));
  ExpectCleanedUp();
}

TEST_F(MakePackageTest, OldPackageThatCannotBeRemovedFails) {
  WriteFile(PackagePath() + "/inside", "a folder in the package's place");
  AddMark(folder.AddClip("a.jpg", "a"), folder.AddClip("b.jpg", "b"));
  AcceptOptions();
  Run();
  EXPECT_EQ(desktop.MessageTexts(),
            (std::vector<std::string>{"Failed Removing old files(progress=52)."}));
  ExpectCleanedUp();
}

// The old package stays until a new one replaces it: a build that makes none keeps it,
// and does not take it for a new one.
TEST_F(MakePackageTest, ABuildWithoutANewPackageKeepsTheOldOne) {
  WriteFile(PackagePath(), "old package");
  // A build tool that ends well but writes nothing.
  fs::remove(Program("MarkWeaverL.dll"));
  WriteFile(Program("MarkWeaverL.dll"), "#!/bin/sh\nexit 0\n");
  fs::permissions(Program("MarkWeaverL.dll"), fs::perms::owner_all);
  AddMark(folder.AddClip("a.jpg", "a"), folder.AddClip("b.jpg", "b"));
  AcceptOptions();
  ReturnFromResult();
  Run();
  EXPECT_EQ(desktop.MessageTexts(),
            (std::vector<std::string>{"Warning:Failed Checking package...(error=106)."}));
  EXPECT_EQ(desktop.modalDialogs, std::vector<std::string>{"MakePackageForm"});
  EXPECT_EQ(ReadFile(PackagePath()), "old package");
  ExpectCleanedUp();
}

TEST_F(MakePackageTest, WithoutTheToolWarnsAndShowsNoResult) {
  fs::remove(Program("MarkWeaverL.dll"));
  AddMark(folder.AddClip("a.jpg", "a"), folder.AddClip("b.jpg", "b"));
  AcceptOptions();
  ReturnFromResult();
  Run();
  EXPECT_EQ(desktop.MessageTexts(),
            std::vector<std::string>{"Warning:Failed Making package...(error=105)."});
  EXPECT_EQ(desktop.modalDialogs, std::vector<std::string>{"MakePackageForm"});
  ExpectCleanedUp();
}

TEST_F(MakePackageTest, ToolThatWritesNoPackageGivesItsReasonAndNoResult) {
  AddMark(folder.AddClip("a.jpg", "a"), folder.AddClip("b.jpg", "b"));
  AcceptOptionsWithLocation("/proc/");
  ReturnFromResult();
  Run();
  std::vector<std::string> texts = desktop.MessageTexts();
  ASSERT_EQ(texts.size(), 1u);
  const std::string head = "Warning:Failed Checking package...(error=106).\n";
  EXPECT_EQ(texts[0].substr(0, head.size()), head);
  // The tool's own last line of error output follows.
  EXPECT_NE(texts[0].find("/proc/program1.exe"), std::string::npos) << texts[0];
  EXPECT_EQ(texts[0].find('\n', head.size()), std::string::npos);
  EXPECT_EQ(desktop.modalDialogs, std::vector<std::string>{"MakePackageForm"});
  ExpectCleanedUp();
}

TEST_F(MakePackageTest, RelativeLocationMeansTheFolderSeenFromHere) {
  fs::create_directory(folder.Start() + "rel");
  AddMark(folder.AddClip("a.jpg", "a"), folder.AddClip("b.jpg", "b"));
  AcceptOptionsWithLocation("rel/");
  ReturnFromResult();
  Run();
  EXPECT_TRUE(desktop.MessageTexts().empty());
  EXPECT_TRUE(fs::is_regular_file(folder.Start() + "rel/program1.exe"));
  EXPECT_FALSE(fs::exists(Program("rel")));
  EXPECT_EQ(options.LocationText(), folder.Start() + "rel/");
  EXPECT_EQ(result.PackagePathText(), folder.Start() + "rel/program1.exe");
}

TEST_F(MakePackageTest, ToolFileThatCannotGoBackWarnsOfJustThat) {
  AddMark(folder.AddClip("a.jpg", "a"), folder.AddClip("b.jpg", "b"));
  AcceptOptions();
  ReturnFromResult();
  // This tool writes the package and puts a file in the way of the archiver's name.
  WriteFile(
      Program("MarkWeaverL.dll"),
      "#!/bin/sh\nsed -n 's/^TargetName=//p' mwdat.dat | tr -d '\\r' | tail -n 1 | xargs touch\n"
      "echo in the way > kecab.dll\n");
  Run();
  EXPECT_EQ(desktop.MessageTexts(),
            std::vector<std::string>{"Warning:FailedFinalizing...(error=108)."});
  EXPECT_TRUE(fs::exists(Program("tract.dll")));
  EXPECT_TRUE(fs::exists(Program("makecab.exe")));
}

TEST_F(MakePackageTest, MissingToolFilesWarnAndStayMissing) {
  fs::remove(Program("tract.dll"));
  AddMark(folder.AddClip("a.jpg", "a"), folder.AddClip("b.jpg", "b"));
  AcceptOptions();
  ReturnFromResult();
  Run();
  std::vector<std::string> texts = desktop.MessageTexts();
  ASSERT_GE(texts.size(), 3u);
  EXPECT_EQ(texts[0], "Warning:Failed Checking libraries...(error=101).");
  EXPECT_EQ(texts[1], "Warning:Failed Checking libraries...(error=102).");
  // Nothing was renamed, so nothing is renamed back or warned of.
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "Warning:FailedFinalizing...(error=107)."), 0);
  EXPECT_TRUE(fs::exists(Program("kecab.dll")));
  EXPECT_FALSE(fs::exists(Program("makecab.exe")));
}

TEST_F(MakePackageTest, SameFileNameInTwoFoldersBothReachThePackage) {
  const std::string first = folder.AddClip("a/hall.jpg", "first hall");
  const std::string second = folder.AddClip("b/hall.jpg", "second hall");
  AddMark(second, first, "To the first hall");
  AcceptOptions();
  ReturnFromResult();
  Run();
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_EQ(ReadFile(Program("seen-staging/hall.jpg")), "first hall");
  EXPECT_EQ(ReadFile(Program("seen-staging/hall-2.jpg")), "second hall");
  MapFileContent data = ReadMapFile(Program("seen-staging/mwRun"));
  ASSERT_EQ(data.marks.Count(), 1u);
  EXPECT_EQ(data.marks.First().Clip, "hall-2.jpg");
  EXPECT_EQ(data.marks.First().NextClip, "hall.jpg");
  const std::string directive = ReadFile(Program("seen-directive.txt"));
  EXPECT_NE(directive.find("FILE2=\"hall.jpg\"\r\nFILE3=\"hall-2.jpg\"\r\n"), std::string::npos);
  ExpectCleanedUp();
}

TEST_F(MakePackageTest, ProgressWindowIsRepaintedWhileTheToolRuns) {
  // This tool only ends once the editor has repainted while waiting for it.
  WriteFile(Program("MarkWeaverL.dll"),
            "#!/bin/sh\nwhile [ ! -e painted ]; do sleep 0.01; done\n"
            "sed -n 's/^TargetName=//p' mwdat.dat | tr -d '\\r' | tail -n 1 | xargs touch\n");
  const std::string flag = Program("painted");
  progress.whileWaiting = [flag] { WriteFile(flag, ""); };
  AddMark(folder.AddClip("a.jpg", "a"), folder.AddClip("b.jpg", "b"));
  AcceptOptions();
  ReturnFromResult();
  Run();
  EXPECT_GE(progress.paintsWhileWaiting, 1);
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_TRUE(fs::exists(PackagePath()));
  ExpectCleanedUp();
}

TEST_F(MakePackageTest, GaugeStopsAtAHundredForLateClips) {
  for (int i = 0; i < 120; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "c%03d.jpg", i);
    AddMark(folder.AddClip(name, name), i == 119 ? folder.Clips() + "zz-missing.jpg" : "0");
  }
  AcceptOptions();
  Run();
  ASSERT_FALSE(desktop.messages.empty());
  EXPECT_EQ(desktop.messages[0].text, "Failed Copying zz-missing.jpg(progress=100).");
  auto copying = std::find(progress.steps.begin(), progress.steps.end(),
                           std::pair<std::string, int>{"Copying c016.jpg", 16});
  EXPECT_NE(copying, progress.steps.end());
  ExpectCleanedUp();
}

TEST_F(MakePackageTest, InvalidLocationKeepsTheDialogUntilCancelled) {
  AddMark(folder.AddClip("a.jpg", "a"), folder.AddClip("b.jpg", "b"));
  desktop.dialogScripts.push_back([](QDialog& dialog) {
    auto& form = dynamic_cast<TMakePackageForm&>(dialog);
    form.SetLocationText("/no/such/folder/");
    form.findChild<QPushButton*>("BitBtn2")->click();
    form.findChild<QPushButton*>("BitBtn1")->click();
    return form.result();
  });
  Run();
  EXPECT_EQ(desktop.MessageTexts(), std::vector<std::string>{"Invalid file location!"});
  EXPECT_TRUE(progress.steps.empty());
}

// A second editor window starting a build while another runs in the same folder is
// told so, and nothing of the running build is touched.
TEST_F(MakePackageTest, ABuildRunningInTheFolderRefusesASecondOne) {
  AddMark(folder.AddClip("a.jpg", "a"), folder.AddClip("b.jpg", "b"));
  BuildLock running(folder.Program());
  ASSERT_TRUE(running.Held());
  fs::create_directories(Program("ptemp"));
  WriteFile(Program("ptemp/a.jpg"), "the other build's copy");
  Run();
  EXPECT_EQ(
      desktop.MessageTexts(),
      std::vector<std::string>{"A package is being made. Please try again when it is finished."});
  EXPECT_TRUE(desktop.modalDialogs.empty());
  EXPECT_TRUE(progress.steps.empty());
  EXPECT_EQ(ReadFile(Program("ptemp/a.jpg")), "the other build's copy");
}

// A build cut off while the package build tool ran (the editor killed, the session
// ended) leaves the tool files under their run names and clip copies in the staging
// folder. The next build should bring the folder back to rest, not warn on every build
// from then on and keep the copies for ever.
TEST_F(MakePackageTest, WhatACutOffBuildLeftIsPutToRestByTheNextBuild) {
  fs::rename(Program("tract.dll"), Program("wextract.exe"));
  fs::rename(Program("kecab.dll"), Program("makecab.exe"));
  WriteFile(Program("ptemp/hall.mpg"), "a clip copy of the build that was cut off");
  AddMark(folder.AddClip("a.jpg", "a"), folder.AddClip("b.jpg", "b"));
  AcceptOptions();
  ReturnFromResult();
  Run();
  std::string shown;
  for (const std::string& text : desktop.MessageTexts()) shown += text + " | ";
  EXPECT_TRUE(desktop.MessageTexts().empty()) << shown;
  ExpectCleanedUp();
}

// The person picks the program folder as the package's place and names the package like the
// extractor's run name: the build tool would write the package over the extractor, and the
// clean-up would rename it to "tract.dll". The name is refused before anything is built.
TEST_F(MakePackageTest, APackageNamedLikeAToolInTheProgramFolderIsRefused) {
  const std::string extractor = ReadFile(Program("tract.dll"));
  AddMark(folder.AddClip("a.jpg", "a"), folder.AddClip("b.jpg", "b"));
  desktop.dialogScripts.push_back([this](QDialog& dialog) {
    auto& form = dynamic_cast<TMakePackageForm&>(dialog);
    form.SetLocationText(folder.Program());
    form.SetPackageNameText("wextract");
    form.findChild<QPushButton*>("BitBtn2")->click();
    return form.result();
  });
  Run();
  ASSERT_FALSE(desktop.MessageTexts().empty());
  EXPECT_NE(desktop.MessageTexts().back().find("cannot be named wextract.exe"), std::string::npos)
      << desktop.MessageTexts().back();
  EXPECT_EQ(std::count(desktop.modalDialogs.begin(), desktop.modalDialogs.end(),
                       "PackageResultForm"),
            0);
  EXPECT_EQ(ReadFile(Program("tract.dll")), extractor) << "the extractor was replaced";
  EXPECT_FALSE(fs::exists(Program("wextract.exe")));
}

}  // namespace
}  // namespace mw
