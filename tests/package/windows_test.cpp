// The options dialog, the progress window with its reporter, and the result window.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <filesystem>

#include "package/makepackage.h"
#include "package/packageresult.h"
#include "package/progress.h"
#include "package/progress_reporter.h"
#include "package_test_folder.h"
#include "scripted_desktop.h"

namespace mw {
namespace {

void Click(QWidget& window, const char* name) {
  auto* button = window.findChild<QPushButton*>(name);
  ASSERT_NE(button, nullptr) << name;
  button->click();
}

TEST(MakePackageForm, StartsWithProgram1AndChecksTheLocation) {
  test::ScriptedDesktop desktop;
  test::PackageTestFolder folder;
  TMakePackageForm form(desktop);
  EXPECT_EQ(form.windowTitle(), "Make Package");
  EXPECT_EQ(form.PackageNameText(), "program1");
  EXPECT_EQ(form.UserMessageText(), "");
  ASSERT_NE(form.findChild<QLineEdit*>("Location"), nullptr);

  form.SetLocationText(folder.Program() + "missing/");
  Click(form, "BitBtn2");
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0].text, "Invalid file location!");
  EXPECT_EQ(desktop.messages[0].title, "!");
  EXPECT_NE(form.result(), kModalOk);

  // An existing folder passes, also without its trailing "/".
  std::string location = folder.Program();
  location.pop_back();
  form.SetLocationText(location);
  Click(form, "BitBtn2");
  EXPECT_EQ(form.result(), kModalOk);
  EXPECT_EQ(form.PackagePath(), location + "program1.exe");
  Click(form, "BitBtn1");
  EXPECT_EQ(form.result(), kModalCancel);
  form.done(0);
  form.reject();  // the close box
  EXPECT_EQ(form.result(), kModalCancel);
}

// Text pasted with line breaks into the one-line fields comes out on one line: the
// directive file has a line for each text.
TEST(MakePackageForm, TakesLineBreaksOutOfItsTexts) {
  test::ScriptedDesktop desktop;
  TMakePackageForm form(desktop);
  form.findChild<QLineEdit*>("UserMessage")->setText("first\r\nsecond\nthird\r");
  form.findChild<QLineEdit*>("PackageName")->setText("tour\n[Options]");
  EXPECT_EQ(form.UserMessageText(), "first second third ");
  EXPECT_EQ(form.PackageNameText(), "tour [Options]");
  EXPECT_EQ(form.UserMessageText().find_first_of("\r\n"), std::string::npos);
}

TEST(MakePackageForm, RelativeLocationBecomesTheFolderSeenFromHere) {
  test::ScriptedDesktop desktop;
  test::PackageTestFolder folder;
  std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(folder.Start());
  std::filesystem::create_directory("rel");
  TMakePackageForm form(desktop);
  form.SetLocationText("rel/");
  Click(form, "BitBtn2");
  EXPECT_EQ(form.result(), kModalOk);
  EXPECT_EQ(form.LocationText(), folder.Start() + "rel/");
  EXPECT_EQ(form.PackagePath(), folder.Start() + "rel/program1.exe");
  // A relative name of a missing folder is still refused.
  form.SetLocationText("gone/");
  Click(form, "BitBtn2");
  EXPECT_EQ(desktop.MessageTexts(), std::vector<std::string>{"Invalid file location!"});
  std::filesystem::current_path(previous);
}

TEST(MakePackageForm, SaveDialogSetsNameAndFolderOrNothing) {
  test::ScriptedDesktop desktop;
  TMakePackageForm form(desktop);
  form.SetLocationText("/srv/Packages/");
  desktop.saveAnswers.push_back(std::string("/srv/out/show.exe"));
  Click(form, "BitBtn3");
  ASSERT_EQ(desktop.saveRequests.size(), 1u);
  EXPECT_EQ(desktop.saveRequests[0].title, "Where to save the package:");
  EXPECT_EQ(desktop.saveRequests[0].filter, "");
  EXPECT_EQ(form.PackageNameText(), "show.exe");
  EXPECT_EQ(form.LocationText(), "/srv/out/");
  EXPECT_EQ(form.PackagePath(), "/srv/out/show.exe.exe");

  desktop.saveAnswers.push_back(std::nullopt);
  Click(form, "BitBtn3");
  EXPECT_EQ(form.PackageNameText(), "show.exe");
  EXPECT_EQ(form.LocationText(), "/srv/out/");
}

TEST(ProgressForm, ShowsTheStepAndAClampedGauge) {
  TProgressForm form;
  auto* gauge = form.findChild<QProgressBar*>("CGauge1");
  ASSERT_NE(gauge, nullptr);
  EXPECT_EQ(form.findChild<QLabel*>("Label1")->text(), "Label1");
  EXPECT_EQ(form.findChild<QLabel*>("Label2")->text(), "Processing - please wait...");
  form.ShowStep("Copying hall.jpg", 37);
  EXPECT_EQ(form.StepText(), "Copying hall.jpg");
  EXPECT_EQ(form.windowTitle(), "Copying hall.jpg");
  EXPECT_EQ(gauge->text(), "37%");
  form.ShowStep("x", 115);
  EXPECT_EQ(form.GaugeValue(), 100);
  EXPECT_EQ(gauge->text(), "100%");
  form.ShowStep("x", -4);
  EXPECT_EQ(form.GaugeValue(), 0);
}

TEST(ProgressReporter, KeepsTheTextAndShowsItWithPoints) {
  TProgressForm form;
  ProgressReporter reporter(&form);
  reporter.SetStayOnTop(true);
  reporter.ReportProgress("Checking libraries...", 55);
  EXPECT_EQ(reporter.LastStepText(), "Checking libraries...");
  EXPECT_EQ(form.StepText(), "Checking libraries......");
  EXPECT_EQ(form.windowTitle(), "Checking libraries......");
  EXPECT_EQ(reporter.GaugeValue(), 55);
  EXPECT_TRUE(form.isVisible());
  EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  reporter.KeepPainted();
  reporter.SetStayOnTop(false);
  EXPECT_TRUE(form.isVisible());
  EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  reporter.CloseWindow();
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(reporter.LastStepText(), "Checking libraries...");
}

TEST(PackageResultForm, ButtonsOpenTheFolderStartThePackageOrReturn) {
  test::ScriptedDesktop desktop;
  TPackageResultForm form(desktop);
  EXPECT_EQ(form.windowTitle(), "Congradulations");
  EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  form.SetPackage("show", "/srv/out/show.exe");
  EXPECT_EQ(form.LocateCaption(), "Locate show.exe");
  EXPECT_EQ(form.findChild<QLineEdit*>("PackagePath")->text(), "/srv/out/show.exe");

  form.show();
  Click(form, "BitBtn1");
  EXPECT_EQ(desktop.opened, std::vector<std::string>{"/srv/out/"});
  EXPECT_FALSE(form.isVisible());

  form.show();
  Click(form, "BitBtn2");
  EXPECT_EQ(desktop.started, std::vector<std::string>{"/srv/out/show.exe"});
  EXPECT_FALSE(form.isVisible());

  form.show();
  Click(form, "BitBtn3");
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(desktop.opened.size() + desktop.started.size(), 2u);
  EXPECT_TRUE(desktop.messages.empty());
}

TEST(PackageResultForm, TellsWhenTheFolderOrThePackageCannotBeOpened) {
  test::ScriptedDesktop desktop;
  desktop.shellWorks = false;
  TPackageResultForm form(desktop);
  form.SetPackage("show", "/srv/out/show.exe");
  form.show();
  Click(form, "BitBtn1");
  EXPECT_FALSE(form.isVisible());
  form.show();
  Click(form, "BitBtn2");
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(desktop.MessageTexts(),
            (std::vector<std::string>{"Could not open the folder /srv/out/",
                                      "Could not start the package /srv/out/show.exe"}));
}

}  // namespace
}  // namespace mw
