// The real file dialogs as a person sees them: the filter list and the folder they
// start in.
#include "desktop/qt_desktop.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <functional>
#include <filesystem>

#include "../map/temp_folder.h"

namespace mw {
namespace {

const char* const kMapFilter = "MarkWeaver map files(*.clm)|*.clm|All file types|*.*";
const char* const kClipFilter =
    "Clip files(*.mpeg;*.mpg;*.jpg;*.jpeg)|*.mpeg;*.mpg;*.jpg;*.jpeg|All file types|*.*";

// A Qt-drawn file dialog configured from `request`.
struct ConfiguredDialog {
  explicit ConfiguredDialog(const FileDialogRequest& request) {
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    ConfigureFileDialog(dialog, request);
  }
  QStringList ShownFilters() {
    QStringList texts;
    auto* combo = dialog.findChild<QComboBox*>("fileTypeCombo");
    if (combo)
      for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
    return texts;
  }
  QFileDialog dialog;
};

TEST(FileDialogTest, FilterDescriptionsShowAsWrittenAndStillFilter) {
  ConfiguredDialog map(FileDialogRequest{"Open the map file:", kMapFilter, "", "", false});
  EXPECT_EQ(map.ShownFilters(), QStringList({"MarkWeaver map files(*.clm)", "All file types"}));
  auto* model = map.dialog.findChild<QFileSystemModel*>();
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->nameFilters(), QStringList({"*.clm"}));

  ConfiguredDialog clip(FileDialogRequest{"Open clip file:", kClipFilter, "", "", false});
  EXPECT_EQ(clip.ShownFilters(),
            QStringList({"Clip files(*.mpeg;*.mpg;*.jpg;*.jpeg)", "All file types"}));
  model = clip.dialog.findChild<QFileSystemModel*>();
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->nameFilters(), QStringList({"*.mpeg", "*.mpg", "*.jpg", "*.jpeg"}));
  clip.dialog.selectNameFilter(clip.dialog.nameFilters().value(1));
  EXPECT_EQ(model->nameFilters(), QStringList({"*.*"}));
}

TEST(FileDialogTest, WithoutAPresetFileTheDialogStartsInTheCurrentFolder) {
  test::TempFolder temp;
  std::filesystem::path folder(temp.Path());
  std::filesystem::create_directory(folder / "elsewhere");
  std::filesystem::create_directory(folder / "here");
  std::filesystem::create_directory(folder / "there");
  std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(folder / "here");
  {
    // Qt remembers the folder of an earlier dialog.
    QFileDialog earlier;
    earlier.setDirectory(QString::fromStdString((folder / "elsewhere").string()));
  }
  ConfiguredDialog fresh(FileDialogRequest{"Open the map file:", kMapFilter, "", "", false});
  EXPECT_EQ(fresh.dialog.directory().absolutePath(), QDir::currentPath());

  std::string preset = (folder / "there" / "tour.clm").string();
  ConfiguredDialog presetOne(FileDialogRequest{"Save as map:", kMapFilter, "clm", preset, true});
  EXPECT_EQ(presetOne.dialog.directory().absolutePath().toStdString(), (folder / "there").string());
  std::filesystem::current_path(previous);
}

TEST(ShellRequestTest, MissingPackageOrFolderIsReportedAsNotDone) {
  test::TempFolder temp;
  QtDesktop desktop;
  EXPECT_FALSE(desktop.StartProgram(temp.Path() + "/rel/tour show.exe", temp.Path() + "/rel/"));
  EXPECT_FALSE(desktop.StartProgram("rel/tour show.exe", "rel/"));
  EXPECT_FALSE(desktop.OpenWithDefaultProgram(temp.Path() + "/no such folder/"));
}

}  // namespace
}  // namespace mw

namespace mw {
namespace {

// What the person does at the box on screen, once it is up.
void AtTheBox(const std::function<void(QMessageBox&)>& act) {
  QTimer::singleShot(0, [act] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    act(*box);
  });
}

TEST(MessageBoxTest, YesNoBoxIsAnsweredOnlyByItsButtons) {
  QtDesktop desktop(nullptr);
  for (const char* answer : {"Yes", "No"}) {
    bool stayedUp = false;
    AtTheBox([&](QMessageBox& box) {
      QTest::keyClick(&box, Qt::Key_Escape);
      box.close();
      QCoreApplication::processEvents();
      stayedUp = box.isVisible();
      box.button(std::string(answer) == "Yes" ? QMessageBox::Yes : QMessageBox::No)->click();
    });
    const MessageAnswer got =
        desktop.ShowMessage({"Do you want to save?", "Save?", MessageButtons::YesNo});
    EXPECT_TRUE(stayedUp) << answer;
    EXPECT_EQ(got, std::string(answer) == "Yes" ? MessageAnswer::Yes : MessageAnswer::No);
  }
}

TEST(MessageBoxTest, OkCancelBoxStillTakesEscapeAsCancel) {
  QtDesktop desktop(nullptr);
  AtTheBox([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); });
  EXPECT_EQ(desktop.ShowMessage({"Go on?", "", MessageButtons::OkCancel}), MessageAnswer::Cancel);
}

}  // namespace
}  // namespace mw
