// The clicker mark dialog: its layout, its results, its file finder and the keys that
// must not close it.

#include "editor/formclickermark.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "dialog_driver.h"
#include "scripted_desktop.h"

namespace {

using mw::test::kLeftOpen;

class ClickerMarkFormTest : public testing::Test {
 protected:
  int ShowAndDo(const std::function<void()>& whileOpen) {
    return mw::test::ShowAndDo(form, whileOpen);
  }

  template <typename T>
  T* Find(const char* name) {
    return mw::test::FindControl<T>(form, name);
  }

  void Click(const char* buttonName) {
    QTest::mouseClick(Find<QPushButton>(buttonName), Qt::LeftButton);
  }

  mw::test::ScriptedDesktop desktop;
  mw::TClickerMarkForm form{desktop};
};

TEST_F(ClickerMarkFormTest, WindowHasCaptionSizeAndOnlyACloseBox) {
  EXPECT_EQ(form.windowTitle(), "Editing Clicker Mark");
  EXPECT_EQ(form.size(), QSize(442, 263));
  Qt::WindowFlags flags = form.windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_FALSE(form.BackToCurrentClip());
}

TEST_F(ClickerMarkFormTest, ControlsCarryTheirTextsAndPlaces) {
  EXPECT_EQ(Find<QLabel>("Label1")->text(), "Editing Clicker Mark");
  EXPECT_TRUE(Find<QLabel>("Label1")->font().bold());
  EXPECT_EQ(Find<QLabel>("Label2")->text(), "When clicking on this mark, open the following clip:");
  EXPECT_EQ(Find<QLabel>("Label3")->text(), "Show a message when mouse is over this mark:");
  EXPECT_EQ(Find<QLineEdit>("NextClipEditBox")->geometry(), QRect(26, 57, 312, 24));
  EXPECT_EQ(Find<QLineEdit>("HintMessage")->geometry(), QRect(26, 112, 312, 24));
  EXPECT_EQ(Find<QLineEdit>("HintMessage")->text(), "click here");
  EXPECT_EQ(Find<QGroupBox>("GroupBox1")->title(), "OK");
  EXPECT_EQ(Find<QPushButton>("Button1")->text(), "< Back to current clip");
  EXPECT_EQ(Find<QPushButton>("EditClickerMarkOkButton")->text(), "> Goto new clip");
  EXPECT_EQ(Find<QPushButton>("FindNextClipButton")->text(), "Find...");
  EXPECT_EQ(Find<QPushButton>("EditClickerMarkCancelButton")->text(), "Cancel");
  EXPECT_EQ(Find<QWidget>("Panel1")->width(), 91);
  EXPECT_EQ(Find<QWidget>("Panel1")->geometry().right() + 1, form.width());
  EXPECT_EQ(Find<QPushButton>("Button1")->parentWidget()->objectName(), "GroupBox1");
  EXPECT_EQ(Find<QPushButton>("FindNextClipButton")->parentWidget()->objectName(), "Panel1");
}

TEST_F(ClickerMarkFormTest, TextsAndButtonStateGoInAndOut) {
  form.SetNextClipText("/clips/Zoë 1.jpg");
  form.SetHintMessageText("go to the café");
  form.SetGotoNewClipEnabled(false);
  EXPECT_EQ(form.NextClipText(), "/clips/Zoë 1.jpg");
  EXPECT_EQ(form.HintMessageText(), "go to the café");
  EXPECT_FALSE(form.GotoNewClipEnabled());
  EXPECT_FALSE(Find<QPushButton>("EditClickerMarkOkButton")->isEnabled());
}

TEST_F(ClickerMarkFormTest, GotoNewClipGivesOkWithoutGoingBack) {
  EXPECT_EQ(ShowAndDo([&] { Click("EditClickerMarkOkButton"); }), mw::kModalOk);
  EXPECT_FALSE(form.BackToCurrentClip());
}

TEST_F(ClickerMarkFormTest, BackToCurrentClipGivesOkAndGoesBack) {
  EXPECT_EQ(ShowAndDo([&] { Click("Button1"); }), mw::kModalOk);
  EXPECT_TRUE(form.BackToCurrentClip());
}

TEST_F(ClickerMarkFormTest, NextShowingStartsWithoutGoingBack) {
  ShowAndDo([&] { Click("Button1"); });
  bool backWhileShown = true;
  int result = ShowAndDo([&] {
    backWhileShown = form.BackToCurrentClip();
    Click("EditClickerMarkOkButton");
  });
  EXPECT_FALSE(backWhileShown);
  EXPECT_EQ(result, mw::kModalOk);
  EXPECT_FALSE(form.BackToCurrentClip());
}

TEST_F(ClickerMarkFormTest, CancelAndCloseBoxGiveCancel) {
  EXPECT_EQ(ShowAndDo([&] { Click("EditClickerMarkCancelButton"); }), mw::kModalCancel);
  EXPECT_EQ(ShowAndDo([&] { form.close(); }), mw::kModalCancel);
}

TEST_F(ClickerMarkFormTest, DisabledGotoButtonCannotClose) {
  form.SetGotoNewClipEnabled(false);
  EXPECT_EQ(ShowAndDo([&] { Click("EditClickerMarkOkButton"); }), kLeftOpen);
}

TEST_F(ClickerMarkFormTest, EnterAndEscapeCloseNothing) {
  const char* const focusables[] = {
      "NextClipEditBox",         "HintMessage",        "Button1",
      "EditClickerMarkOkButton", "FindNextClipButton", "EditClickerMarkCancelButton"};
  for (const char* name : focusables) {
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
      int result = ShowAndDo([&] {
        QWidget* target = Find<QWidget>(name);
        target->setFocus();
        QTest::keyClick(target, key);
      });
      EXPECT_EQ(result, kLeftOpen) << name << " key " << key;
    }
  }
  EXPECT_TRUE(desktop.openRequests.empty());
}

TEST_F(ClickerMarkFormTest, TabGoesThroughTheControlsInOrder) {
  std::vector<std::string> visited;
  ShowAndDo([&] {
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    for (int i = 0; i < 7; ++i) {
      QWidget* focused = QApplication::focusWidget();
      visited.push_back(focused ? focused->objectName().toStdString() : "(none)");
      QTest::keyClick(focused ? focused : &form, Qt::Key_Tab);
    }
  });
  std::vector<std::string> expected = {"FindNextClipButton",      "EditClickerMarkCancelButton",
                                       "NextClipEditBox",         "Button1",
                                       "EditClickerMarkOkButton", "HintMessage",
                                       "FindNextClipButton"};
  EXPECT_EQ(visited, expected);
}

class ClickerMarkFindTest : public ClickerMarkFormTest {
 protected:
  void SetUp() override { startFolder = std::filesystem::current_path(); }
  void TearDown() override { std::filesystem::current_path(startFolder); }
  std::filesystem::path startFolder;
};

TEST_F(ClickerMarkFindTest, AsksForTheNextClipWithPhotoAndMovieFilter) {
  form.SetNextClipText("old.jpg");
  ShowAndDo([&] { Click("FindNextClipButton"); });
  ASSERT_EQ(desktop.openRequests.size(), 1u);
  EXPECT_EQ(desktop.openRequests[0].title, "Open the next clip:");
  EXPECT_EQ(desktop.openRequests[0].filter,
            "Photos or Movie Clips|*.jpg;*.jpeg;*.mpeg;*.mpg|All file types|*.*");
  EXPECT_TRUE(desktop.openRequests[0].initialPath.empty());
}

TEST_F(ClickerMarkFindTest, CancelledFindLeavesTheBoxAndFolderAlone) {
  form.SetNextClipText("old.jpg");
  desktop.openAnswers.push_back(std::nullopt);
  int result = ShowAndDo([&] { Click("FindNextClipButton"); });
  EXPECT_EQ(result, kLeftOpen);
  EXPECT_EQ(form.NextClipText(), "old.jpg");
  EXPECT_EQ(std::filesystem::current_path(), startFolder);
}

TEST_F(ClickerMarkFindTest, ChosenFileReplacesTheBoxAndBecomesTheCurrentFolder) {
  std::filesystem::path folder = std::filesystem::temp_directory_path();
  std::string chosen = (folder / "holiday clip.mpg").string();
  form.SetNextClipText("old.jpg");
  desktop.openAnswers.push_back(chosen);
  int result = ShowAndDo([&] { Click("FindNextClipButton"); });
  EXPECT_EQ(result, kLeftOpen);
  EXPECT_EQ(form.NextClipText(), chosen);
  EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(folder));
}

}  // namespace
