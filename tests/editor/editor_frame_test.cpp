// The editor window under a window manager: the map's size is the outer size, frame
// included, and a map opened and saved without changes keeps its numbers and asks nothing.
#include <QPushButton>

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
  ASSERT_TRUE(test::XInput::Run({"getactivewindow", "windowsize", "700", "600"}));
  EXPECT_TRUE(test::WaitFor([&] { return form_->MapChanged(); }));
  EXPECT_EQ(form_->windowTitle(), "*" + title);
  form_->SaveMapButtonClick();
  EXPECT_EQ(form_->windowTitle(), title);
  EXPECT_EQ(SavedSize(map), std::make_pair(form_->OuterSize().width, form_->OuterSize().height));
  EXPECT_GT(SavedSize(map).first, 612);
}

}  // namespace
}  // namespace mw
