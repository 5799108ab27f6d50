// The editor's Export for Web with a scripted person at its dialogs: the map check's
// question first, the dialog, the progress window with its Cancel, the result with
// "Open in Browser" and "Locate", failures in a window, and the preview.
#include <unistd.h>

#include <QAction>
#include <QJsonArray>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>

#include "../editor/editor_fixture.h"
#include "editor/web_export_form.h"
#include "editor/web_export_windows.h"
#include "map/map_file.h"
#include "web_fixture.h"

namespace mw::test {
namespace {

class EditorWebExportTest : public EditorFixture {
 protected:
  void StartWith(const std::vector<std::pair<std::string, std::string>>& links) {
    std::vector<ClickerMark> marks;
    for (const auto& [clip, target] : links) {
      ClickerMark mark;
      mark.Clip = clip;
      mark.NextClip = target;
      mark.X = mark.Y = 0.5f;
      mark.Hint = "Go";
      marks.push_back(mark);
    }
    ASSERT_EQ(WriteMapFile("tour.clm", {640, 520}, marks).status, MapWriteStatus::Written);
    WriteText("markweaver.ini", here_ + "/tour.clm\r\n");
    Start();
  }

  // The person fills the dialog and presses one of its buttons.
  void AnswerExportDialog(const WebExportChoice& choice, const char* button) {
    desktop_.dialogScripts.push_back([choice, button](QDialog& dialog) {
      auto& form = dynamic_cast<TWebExportForm&>(dialog);
      form.show();
      form.SetChoice(choice);
      QTest::mouseClick(form.findChild<QPushButton*>(button), Qt::LeftButton);
      return form.result();
    });
  }
  // The person presses a button of the result window.
  void AnswerResult(const char* button) {
    desktop_.dialogScripts.push_back([button](QDialog& dialog) {
      dialog.show();
      QTest::mouseClick(dialog.findChild<QPushButton*>(button), Qt::LeftButton);
      return dialog.result();
    });
  }
  void ExportForWeb() { form_->findChild<QAction*>("ExportForWeb1")->trigger(); }
};

TEST_F(EditorWebExportTest, TheChecksQuestionComesFirstThenTheExportOpensInTheBrowser) {
  const std::string hall = Photo("hall.jpg"), kitchen = Photo("kitchen.jpg");
  StartWith({{hall, kitchen}, {kitchen, here_ + "/lost.jpg"}});
  desktop_.messageAnswers.push_back(MessageAnswer::No);
  ExportForWeb();
  ASSERT_EQ(desktop_.messages.size(), 1u);
  EXPECT_NE(desktop_.messages[0].text.find("lost.jpg"), std::string::npos);
  EXPECT_NE(desktop_.messages[0].text.find("Export the map anyway?"), std::string::npos);
  EXPECT_TRUE(desktop_.modalDialogs.empty()) << "No stops it before the dialog";

  desktop_.messageAnswers.push_back(MessageAnswer::Yes);
  std::string offered;
  desktop_.dialogScripts.push_back([&](QDialog& dialog) {
    offered = dynamic_cast<TWebExportForm&>(dialog).Choice().destination;
    return kModalCancel;
  });
  ExportForWeb();
  EXPECT_EQ(offered, here_ + "/tour-web") << "beside the map, named after it";

  desktop_.messageAnswers.push_back(MessageAnswer::Yes);
  AnswerExportDialog({false, "web", "Our tour", "Welcome\nin"}, "ExportButton");
  AnswerResult("OpenInBrowserButton");
  ExportForWeb();
  EXPECT_EQ(desktop_.modalDialogs,
            (std::vector<std::string>{"WebExportForm", "WebExportForm", "WebExportResultForm"}));
  ASSERT_EQ(desktop_.opened, std::vector<std::string>{here_ + "/web/index.html"});
  const QJsonObject data = MapDataOf(ReadFile(here_ + "/web/index.html"));
  EXPECT_EQ(data["title"].toString(), "Our tour");
  EXPECT_EQ(data["message"].toString(), "Welcome\nin");
  EXPECT_EQ(data["stage"].toObject()["width"].toInt(), 640);
  EXPECT_EQ(data["clips"].toArray()[2].toObject()["kind"].toString(), "missing");
  EXPECT_EQ(form_->WebExportProgressWindow()->GaugeValue(), 100);
  EXPECT_FALSE(form_->WebExportProgressWindow()->isVisible());
}

TEST_F(EditorWebExportTest, LocateShowsThePlaceAndAFailureIsShownInAWindow) {
  const std::string hall = Photo("hall.jpg");
  StartWith({{hall, hall}});
  AnswerExportDialog({true, "tour", "", ""}, "ExportButton");
  AnswerResult("LocateButton");
  ExportForWeb();
  EXPECT_TRUE(Exists(here_ + "/tour.html")) << "the file form gives the name its .html";
  EXPECT_EQ(desktop_.opened, std::vector<std::string>{here_});

  std::filesystem::create_directory("photos");
  WriteText("photos/mine.txt", "mine");
  AnswerExportDialog({false, "photos", "", ""}, "ExportButton");
  ExportForWeb();
  ASSERT_EQ(desktop_.messages.size(), 1u);
  EXPECT_EQ(desktop_.messages[0].icon, MessageIcon::Error);
  EXPECT_NE(desktop_.messages[0].text.find("holds no earlier web export"), std::string::npos);

  desktop_.shellWorks = false;
  AnswerExportDialog({true, "tour.html", "", ""}, "ExportButton");
  AnswerResult("OpenInBrowserButton");
  ExportForWeb();
  ASSERT_EQ(desktop_.messages.size(), 2u);
  EXPECT_EQ(desktop_.messages[1].text,
            "The desktop could not open the page:\n" + here_ + "/tour.html");
}

TEST_F(EditorWebExportTest, PreviewExportsToAPrivateFolderAndOpensIt) {
  const std::string hall = Photo("hall.jpg");
  StartWith({{hall, hall}});
  ::setenv("TMPDIR", here_.c_str(), 1);
  for (int k = 0; k < 2; ++k) {
    AnswerExportDialog({false, "", "", ""}, "PreviewButton");
    ExportForWeb();
  }
  ::unsetenv("TMPDIR");
  const std::string preview = here_ + "/markweaver-preview-" + std::to_string(::getuid()) + "/tour";
  EXPECT_EQ(desktop_.opened, std::vector<std::string>(2, preview + "/index.html"));
  EXPECT_TRUE(Exists(preview + "/clips/hall.jpg"));
  EXPECT_TRUE(desktop_.messages.empty()) << "the second preview replaced the first";
}

TEST_F(EditorWebExportTest, CancelInTheProgressWindowStopsAConversionAndLeavesNothing) {
  const std::string hall = Photo("hall.jpg");
  MakeMpeg1Movie(here_ + "/long.mpg", 8, "720x576");
  StartWith({{hall, here_ + "/long.mpg"}});
  int ticks = 0;
  QTimer person;
  QObject::connect(&person, &QTimer::timeout, [&] {
    ++ticks;
    TWebExportProgressForm* window = form_->WebExportProgressWindow();
    if (window && window->Running() && window->StepText().rfind("Converting", 0) == 0)
      QTest::mouseClick(window->findChild<QPushButton*>("CancelButton"), Qt::LeftButton);
  });
  person.start(20);
  AnswerExportDialog({false, "web", "", ""}, "ExportButton");
  ExportForWeb();
  EXPECT_GT(ticks, 5) << "the window kept answering while the export ran";
  EXPECT_FALSE(Exists(here_ + "/web"));
  for (const std::string& name : ListFolder(here_)) EXPECT_NE(name[0], '.') << name;
  EXPECT_TRUE(desktop_.messages.empty()) << "a cancel needs no message";
  EXPECT_EQ(desktop_.modalDialogs, std::vector<std::string>{"WebExportForm"});
}

}  // namespace
}  // namespace mw::test
