// Help where the desktop opens nothing: F1 and the Help button show the help text in the
// editor's own window, read-only and searchable, the same text as the help file; through
// the scripted desktop, and through the real one whose opener has no program for it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <fstream>
#include <iterator>

#include "desktop/qt_desktop.h"
#include "editor/help_window.h"
#include "editor_fixture.h"

namespace mw {
namespace {

// The help text shipped beside the program.
std::string ShippedHelp() {
  std::ifstream in(std::string(MW_TEST_DATA_DIR) + "/../../resources/readme.txt", std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class EditorHelpTest : public test::EditorFixture {
 protected:
  void SetUp() override {
    EditorFixture::SetUp();
    std::ofstream(here_ + "/readme.txt", std::ios::binary) << ShippedHelp();
  }
  HelpWindow* Help() { return form_->findChild<HelpWindow*>("HelpWindow"); }
  template <typename T>
  T* InHelp(const char* name) {
    return Help() ? Help()->findChild<T*>(name) : nullptr;
  }
  QPlainTextEdit* HelpText() { return InHelp<QPlainTextEdit>("HelpText"); }
  // Types `text` into the search field and presses `key` there.
  void Search(const QString& text, Qt::Key key = Qt::Key_Return,
              Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    // The window's keys (F3, Shift+F3) work in the window the person is in.
    // (The offscreen platform does not move the activation itself.)
    QApplication::setActiveWindow(Help());
    QLineEdit* field = InHelp<QLineEdit>("HelpSearch");
    field->setFocus();
    field->setText(text);
    QTest::keyClick(field, key, modifiers);
  }
  int SelectionStart() { return HelpText()->textCursor().selectionStart(); }
};

TEST_F(EditorHelpTest, F1ShowsTheHelpTextInAWindowOfItsOwnWhenTheDesktopCannotOpenIt) {
  desktop_.shellWorks = false;
  TForm1& form = Start();
  QTest::keyClick(&form, Qt::Key_F1);
  EXPECT_EQ(desktop_.opened, std::vector<std::string>{here_ + "/readme.txt"});
  ASSERT_NE(Help(), nullptr);
  EXPECT_TRUE(Help()->isVisible());
  EXPECT_TRUE(Help()->isWindow());
  EXPECT_FALSE(Help()->isModal());
  EXPECT_TRUE(HelpText()->isReadOnly());
  EXPECT_EQ(HelpText()->toPlainText(), QString::fromLocal8Bit(ShippedHelp()));
  EXPECT_TRUE(desktop_.messages.empty());
  // Typing into the text changes nothing.
  QTest::keyClicks(HelpText(), "xyz");
  EXPECT_EQ(HelpText()->toPlainText(), QString::fromLocal8Bit(ShippedHelp()));
  // The Help button again raises the same window.
  Control<QPushButton>("HelpButton")->click();
  EXPECT_EQ(form.findChildren<HelpWindow*>().size(), 1);
}

TEST_F(EditorHelpTest, TheSearchFindsEachPlaceInTurnRoundTheEndAndBack) {
  desktop_.shellWorks = false;
  Start();
  Control<QPushButton>("HelpButton")->click();
  ASSERT_NE(Help(), nullptr);
  const QString text = HelpText()->toPlainText();
  const QString word = "clicker mark";
  std::vector<int> places;
  for (int at = text.indexOf(word, 0, Qt::CaseInsensitive); at >= 0;
       at = text.indexOf(word, at + 1, Qt::CaseInsensitive))
    places.push_back(at);
  ASSERT_GE(places.size(), 3u);

  Search("Clicker Mark");
  EXPECT_EQ(SelectionStart(), places[0]);
  EXPECT_EQ(HelpText()->textCursor().selectedText().toLower(), word);
  EXPECT_EQ(HelpText()->extraSelections().size(), static_cast<int>(places.size()))
      << "every place is marked";
  Search("Clicker Mark");
  EXPECT_EQ(SelectionStart(), places[1]);
  Search("Clicker Mark", Qt::Key_F3, Qt::ShiftModifier);
  EXPECT_EQ(SelectionStart(), places[0]);
  Search("Clicker Mark", Qt::Key_F3, Qt::ShiftModifier);
  EXPECT_EQ(SelectionStart(), places.back()) << "backward from the first goes round";
  Search("Clicker Mark", Qt::Key_F3);
  EXPECT_EQ(SelectionStart(), places[0]) << "forward from the last goes round";
  EXPECT_TRUE(InHelp<QLabel>("HelpSearchState")->text().isEmpty());

  Search("no such words in the help");
  EXPECT_EQ(InHelp<QLabel>("HelpSearchState")->text(), "Not found");
  EXPECT_EQ(SelectionStart(), places[0]) << "the place found before stays";
  EXPECT_TRUE(HelpText()->extraSelections().isEmpty());
}

TEST_F(EditorHelpTest, ADesktopThatOpensTheFileShowsNoWindowOfOurOwn) {
  Start();
  Control<QPushButton>("HelpButton")->click();
  EXPECT_EQ(desktop_.opened, std::vector<std::string>{here_ + "/readme.txt"});
  EXPECT_EQ(Help(), nullptr);
}

TEST_F(EditorHelpTest, AHelpFileThatCannotBeReadIsSaidSo) {
  desktop_.shellWorks = false;
  std::filesystem::remove(here_ + "/readme.txt");
  std::filesystem::create_directory(here_ + "/readme.txt");  // not a file
  Start();
  QTest::keyClick(form_.get(), Qt::Key_F1);
  EXPECT_EQ(Help(), nullptr);
  EXPECT_EQ(desktop_.MessageTexts(),
            std::vector<std::string>{"The help text could not be read:\n" + here_ + "/readme.txt"});
}

// The real desktop seam: no display, no session and no browser, so the desktop's own opener
// finds no program for a text file and fails, as on a bare desktop.
TEST_F(EditorHelpTest, TheRealDesktopsFailingOpenerBringsTheHelpWindow) {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "BROWSER", "XDG_CURRENT_DESKTOP",
                           "DESKTOP_SESSION", "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID"})
    unsetenv(name);
  test::WriteText("map1.clm", "markweaverdata1.01\r\n640\r\n520\r\n");
  QtDesktop real;
  MoviePlayer::Options silent;
  silent.audio = false;
  form_ = std::make_unique<TForm1>(real, EditorOptions{here_ + "/", silent});
  form_->AttachWindows({nullptr, &markForm_});
  form_->show();
  QApplication::setActiveWindow(form_.get());
  QTest::keyClick(form_.get(), Qt::Key_F1);
  ASSERT_TRUE(QTest::qWaitFor([this] { return Help() != nullptr && Help()->isVisible(); }, 8000))
      << "no help window came";
  EXPECT_EQ(HelpText()->toPlainText(), QString::fromLocal8Bit(ShippedHelp()));
  form_.reset();
}

}  // namespace
}  // namespace mw
