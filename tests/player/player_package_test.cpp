// End to end: a map made here is packed by the editor's Make Package with the real package
// tools, and the package is run; it unpacks, starts the real player offscreen, which
// reports its first clip and ends, and the package's temporary folder is gone afterwards.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTemporaryDir>
#include <cstdlib>
#include <filesystem>

#include "jpeg_fixtures.h"
#include "package/make_package.h"
#include "package/makepackage.h"
#include "package/packageresult.h"
#include "package/progress.h"
#include "package/progress_reporter.h"
#include "player_folder.h"
#include "scripted_desktop.h"
#include "start_report_reader.h"

namespace fs = std::filesystem;

namespace mw {
namespace {

constexpr const char* kTools[] = {"MarkWeaverL.dll", "tract.dll", "kecab.dll"};

// The folder holding the package tools: the program folder of this build, or the one
// named by MW_PACKAGE_TOOLS_DIR while the tools are built elsewhere.
std::string ToolsFolder() {
  std::vector<std::string> places{MW_BIN_DIR};
  if (const char* other = std::getenv("MW_PACKAGE_TOOLS_DIR")) places.emplace_back(other);
  for (const std::string& place : places) {
    bool all = true;
    for (const char* tool : kTools) all = all && fs::exists(fs::path(place) / tool);
    if (all) return place;
  }
  return "";
}

class PlayerPackageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tools = ToolsFolder();
    if (tools.empty())
      GTEST_SKIP() << "The package tools (MarkWeaverL.dll, tract.dll, kecab.dll) are not in "
                   << MW_BIN_DIR << " nor in MW_PACKAGE_TOOLS_DIR; the run of a real package "
                   << "is left out.";
    program = root.filePath("program/").toStdString();
    fs::create_directories(program);
    fs::copy_file(std::string(MW_BIN_DIR) + "/runner.dll", program + "runner.dll");
    for (const char* tool : kTools) fs::copy_file(fs::path(tools) / tool, program + tool);
    for (const char* part : {"player-runtime.tar.zst", "player-runtime-movie.tar.zst"})
      fs::create_symlink(fs::path(tools) / part, program + part);
    unpackPlace = root.filePath("tmp").toStdString();
    fs::create_directories(unpackPlace);
  }

  // Makes the package `name` of `map` with `message`, as the person would in the editor.
  void MakePackage(const ClipMap& map, const std::string& name, const std::string& message) {
    desktop.dialogScripts.push_back([name, message](QDialog& dialog) {
      auto& form = dynamic_cast<TMakePackageForm&>(dialog);
      form.SetPackageNameText(name);
      form.SetUserMessageText(message);
      form.findChild<QPushButton*>("BitBtn2")->click();
      return form.result();
    });
    desktop.dialogScripts.push_back([](QDialog& dialog) {
      dialog.findChild<QPushButton*>("BitBtn3")->click();
      return dialog.result();
    });
    MakePackageButtonClick(
        {map, WindowSize{700, 500}, progress, desktop, program, options, result});
  }

  test::PlayerRun RunPackage(const std::string& package) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TMPDIR", QString::fromStdString(unpackPlace));
    environment.insert("XDG_CACHE_HOME", root.filePath("cache-home"));
    // Qt would make its runtime folder under TMPDIR otherwise.
    const std::string runtime = root.filePath("runtime").toStdString();
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime));
    return test::RunPlayerProgram(package, {}, root.path().toStdString(),
                                  root.filePath("report").toStdString(), environment);
  }

  QTemporaryDir root;
  std::string tools, program, unpackPlace;
  test::PlayerFolder clips;
  test::ScriptedDesktop desktop;
  TProgressForm progressForm;
  ProgressReporter progress{&progressForm};
  TMakePackageForm options{desktop};
  TPackageResultForm result{desktop};
};

TEST_F(PlayerPackageTest, APackagedMapPlaysItsStartClipWithTheMessage) {
  fs::create_directories(clips.File("rooms"));
  test::WriteJpeg(clips.File("rooms/hall.jpg"), 320, 240);
  test::WriteJpeg(clips.File("kitchen.jpg"), 320, 240);
  ClipMap map;
  map.Append(test::Mark(clips.File("rooms/hall.jpg"), 0.5f, 0.5f, 10, clips.File("kitchen.jpg"),
                        "Kitchen"));
  map.Append(
      test::Mark(clips.File("kitchen.jpg"), 0.5f, 0.5f, 10, clips.File("rooms/hall.jpg"), "Hall"));
  const std::string message = "Enjoy \"the\" tour; $HOME";
  MakePackage(map, "tour", message);
  const std::string package = program + "Packages/tour.exe";
  ASSERT_TRUE(fs::exists(package)) << (desktop.messages.empty() ? "" : desktop.MessageTexts()[0]);

  test::PlayerRun run = RunPackage(package);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0) << run.errorOutput;
  EXPECT_EQ(run.report["clip"], "hall.jpg");
  EXPECT_EQ(run.report["kind"], "photo");
  EXPECT_EQ(run.report["message"], message);
  EXPECT_EQ(run.report["window"], "700x500");
  ASSERT_FALSE(run.report["folder"].empty());
  // It plays from the package's folder in the cache, kept for later starts.
  EXPECT_TRUE(run.report["folder"].starts_with(root.filePath("cache-home/markweaver/pkg-").toStdString()))
      << run.report["folder"];
  EXPECT_TRUE(fs::exists(run.report["folder"] + "/hall.jpg"));
  for (const auto& left : fs::directory_iterator(unpackPlace)) ADD_FAILURE() << left.path();
}

}  // namespace
}  // namespace mw
