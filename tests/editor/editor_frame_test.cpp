// The editor window under a window manager: the map's size is the outer size, frame
// included, and a map opened and saved without changes keeps its numbers and asks nothing.
#include <QAction>
#include <QPushButton>
#include <QScreen>
#include <iostream>

#include "editor/map_check_form.h"
#include "editor/map_overview_form.h"

#include "x_editor_fixture.h"

namespace mw {
namespace {

class XFrameTest : public test::XEditorTest {
 protected:
  // The size lines of a saved map.
  std::pair<int, int> SavedSize(const std::string& map) {
    const std::string text = test::ReadText(map);
    const std::size_t first = text.find("\r\n") + 2;
    const std::size_t second = text.find("\r\n", first) + 2;
    return {std::stoi(text.substr(first)), std::stoi(text.substr(second))};
  }
  // Opens `map`, waits for the window manager's frame, and saves it unchanged.
  void OpenAndSave(const std::string& map) {
    StartOn(map);
    ASSERT_TRUE(test::WaitFor([&] { return form_->OuterSize().width == SavedSize(map).first; }))
        << form_->OuterSize().width;
    // Some ticks of the window's timer pass: the frame is no change of the map.
    QTest::qWait(200);
    EXPECT_FALSE(form_->MapChanged());
    EXPECT_FALSE(form_->windowTitle().startsWith('*')) << form_->windowTitle().toStdString();
    form_->AskToSave();
    EXPECT_TRUE(desktop_.messages.empty()) << desktop_.MessageTexts().front();
    form_->SaveMapButtonClick();
    form_.reset();
  }
};

TEST_F(XFrameTest, MapOpenedAndSavedUnchangedKeepsItsOuterSize) {
  const std::string map = WriteMap(612, 570);
  for (int round = 0; round < 2; ++round) {
    OpenAndSave(map);
    EXPECT_EQ(SavedSize(map), std::make_pair(612, 570)) << "round " << round;
  }
}

TEST_F(XFrameTest, ResizingByThePersonIsAChangeShownInTheTitle) {
  const std::string map = WriteMap(612, 570);
  StartOn(map);
  ASSERT_TRUE(test::WaitFor([&] { return form_->OuterSize().width == 612; }));
  const QString title = form_->windowTitle();
  ASSERT_FALSE(title.startsWith('*'));
  // The editor's own window, as the window manager's active-window record may still lag.
  const QString window = QString::number(form_->winId());
  ASSERT_TRUE(test::XInput::Run({"windowsize", window, "700", "600"}));
  EXPECT_TRUE(test::WaitFor([&] { return form_->MapChanged(); }));
  EXPECT_EQ(form_->windowTitle(), "*" + title);
  form_->SaveMapButtonClick();
  EXPECT_EQ(form_->windowTitle(), title);
  EXPECT_EQ(SavedSize(map), std::make_pair(form_->OuterSize().width, form_->OuterSize().height));
  EXPECT_GT(SavedSize(map).first, 612);
}

}  // namespace
}  // namespace mw

namespace mw {
namespace {

class XToolWindowTest : public test::XEditorTest {
 protected:
  // Moves the editor's frame to `at`. A window manager under load may take long or pass
  // over a request that came while it was still busy with the window, so it is asked again.
  bool MoveEditorTo(QPoint at) {
    auto there = [&] { return form_->frameGeometry().topLeft() == at; };
    for (int attempt = 0; attempt < 3 && !there(); ++attempt) {
      form_->move(at);
      if (test::WaitFor(there, 10000)) return true;
    }
    return there();
  }
};

// The overview (900 x 640) and the map check open over the editor, inside a 1024 x 768
// screen, wherever the editor is.
TEST_F(XToolWindowTest, CheckMapAndOverviewOpenOverTheEditorWithinTheScreen) {
  StartOnTour(false);
  const QRect screen = form_->screen()->availableGeometry();
  for (const QPoint editorAt : {QPoint(300, 150), QPoint(0, 0)}) {
    ASSERT_TRUE(MoveEditorTo(editorAt)) << "the editor's frame is at " << form_->frameGeometry().x()
                                        << "," << form_->frameGeometry().y();
    for (const char* item : {"CheckMap1", "MapOverview1"}) {
      form_->findChild<QAction*>(item)->trigger();
      QWidget* window = std::string(item) == "CheckMap1"
                            ? static_cast<QWidget*>(form_->MapCheckWindow())
                            : static_cast<QWidget*>(form_->MapOverviewWindow());
      ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
      // Where Qt has not learnt the frame even so (seen only in loaded CI runs), the
      // checks below hold for the window's inner rectangle.
      if (!WaitForFrame(window)) std::cerr << item << ": Qt knows no frame of it\n";
      EXPECT_TRUE(screen.contains(window->frameGeometry())) << item;
      EXPECT_TRUE(form_->frameGeometry().contains(window->frameGeometry().center())) << item;
      window->close();
    }
  }
}

}  // namespace
}  // namespace mw
