// The about window: its content, its links and that only OK closes it.

#include "about/ads.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "dialog_driver.h"
#include "scripted_desktop.h"

namespace {

using mw::test::kLeftOpen;

class AdFormTest : public testing::Test {
 protected:
  int ShowAndDo(const std::function<void()>& whileOpen) {
    return mw::test::ShowAndDo(form, whileOpen);
  }

  template <typename T>
  T* Find(const char* name) {
    return mw::test::FindControl<T>(form, name);
  }

  QString LabelText(const char* name) { return Find<QLabel>(name)->text(); }

  mw::test::ScriptedDesktop desktop;
  mw::TAdForm form{desktop};
};

TEST_F(AdFormTest, WindowHasNoTitleBarButtonsAndStaysOnTop) {
  EXPECT_EQ(form.windowTitle(), "Powered by MarkWeaver");
  Qt::WindowFlags flags = form.windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowSystemMenuHint));
}

TEST_F(AdFormTest, ShowsProductVersionAndAddresses) {
  EXPECT_EQ(LabelText("Label1"), "Powered by");
  EXPECT_EQ(LabelText("Label2"), "MarkWeaver");
  EXPECT_EQ(LabelText("VersionText"), "Version 1.2.3");
  EXPECT_TRUE(Find<QLabel>("VersionText")->font().bold());
  EXPECT_EQ(LabelText("Label5"), "Website:");
  EXPECT_EQ(LabelText("Label4"), "Email:");
  EXPECT_EQ(LabelText("Label6"), "Comment and suggestion are most welcome.");
  EXPECT_EQ(Find<QLineEdit>("Edit1")->text(), mw::ProductPage);
  EXPECT_EQ(Find<QLineEdit>("Edit2")->text(), mw::AuthorMailAddress);
  EXPECT_EQ(Find<QPushButton>("BitBtn2")->text(), "Get your own MarkWeaver today!");
  EXPECT_EQ(Find<QPushButton>("BitBtn1")->text(), "OK");
  EXPECT_EQ(Find<QPushButton>("BitBtn1")->geometry(), QRect(316, 315, 96, 32));
}

TEST_F(AdFormTest, ContentFitsInsideTheWindow) {
  for (QWidget* child : form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    EXPECT_TRUE(form.rect().contains(child->geometry())) << child->objectName().toStdString();
  }
  QRect name = Find<QLabel>("Label2")->geometry();
  EXPECT_LT(name.right(), Find<QLabel>("VersionText")->x()) << "product name runs into version";
}

TEST_F(AdFormTest, BannerIsAnUnscaledTrueColourPicture) {
  QLabel* image = Find<QLabel>("Image1");
  QImage banner = image->pixmap().toImage();
  EXPECT_EQ(banner.deviceIndependentSize().toSize(), QSize(363, 149));
  EXPECT_FALSE(banner.hasAlphaChannel());
  EXPECT_FALSE(image->hasScaledContents());
  EXPECT_EQ(image->geometry(), QRect(0, 24, 445, 179));
}

// Run at ratios 1 and 2: on a dense screen the banner drawn at twice the size is shown, at
// the same place and logical size.
TEST_F(AdFormTest, BannerIsDrawnForTheScreensRatio) {
  const bool dense = form.devicePixelRatioF() > 1.0;
  ShowAndDo([&] {
    const QPixmap banner = Find<QLabel>("Image1")->pixmap();
    EXPECT_EQ(banner.size(), dense ? QSize(726, 298) : QSize(363, 149));
    EXPECT_EQ(banner.devicePixelRatio(), dense ? 2.0 : 1.0);
    const QImage shown = Find<QLabel>("Image1")->grab().toImage();
    // The sun's centre, 318,30 of the banner, lies in its own colour on the screen.
    const QPoint sun = (QPoint(318, 30) + QPoint(41, 15)) * shown.devicePixelRatio();
    EXPECT_EQ(QColor(shown.pixel(sun)), QColor("#fff3b0"));
  });
}

TEST_F(AdFormTest, AddressFieldsAreReadOnlyLinks) {
  for (const char* name : {"Edit1", "Edit2"}) {
    QLineEdit* field = Find<QLineEdit>(name);
    EXPECT_TRUE(field->isReadOnly()) << name;
    EXPECT_FALSE(field->hasFrame()) << name;
    EXPECT_TRUE(field->font().underline()) << name;
    EXPECT_EQ(field->cursor().shape(), Qt::PointingHandCursor) << name;
  }
  EXPECT_FALSE(Find<QLineEdit>("Edit1")->focusPolicy() & Qt::TabFocus);
  EXPECT_EQ(Find<QLineEdit>("Edit1")->toolTip(), "click to go to the web site");
}

TEST_F(AdFormTest, ClicksOpenTheWebPageAndStartAMail) {
  QTest::mouseClick(Find<QLineEdit>("Edit1"), Qt::LeftButton);
  QTest::mouseClick(Find<QLineEdit>("Edit2"), Qt::LeftButton);
  QTest::mouseClick(Find<QPushButton>("BitBtn2"), Qt::LeftButton);
  QTest::mouseClick(Find<QLineEdit>("Edit1"), Qt::RightButton);
  std::vector<std::string> expected = {
      mw::ProductPage, std::string("mailto:") + mw::AuthorMailAddress, mw::ProductPage};
  EXPECT_EQ(desktop.opened, expected);
}

TEST_F(AdFormTest, ADesktopThatCannotOpenALinkIsSaidSo) {
  desktop.shellWorks = false;
  QTest::mouseClick(Find<QLineEdit>("Edit1"), Qt::LeftButton);
  QTest::mouseClick(Find<QLineEdit>("Edit2"), Qt::LeftButton);
  QTest::mouseClick(Find<QPushButton>("BitBtn2"), Qt::LeftButton);
  const std::string page = std::string("The desktop could not open the web page:\n") + mw::ProductPage;
  EXPECT_EQ(desktop.MessageTexts(),
            (std::vector<std::string>{
                page, std::string("The desktop could not open a new mail to:\nmailto:") +
                          mw::AuthorMailAddress,
                page}));
  ASSERT_EQ(desktop.messages.size(), 3u);
  EXPECT_EQ(desktop.messages[0].icon, mw::MessageIcon::Warning);
}

TEST_F(AdFormTest, OkClosesWithOk) {
  int result = ShowAndDo([&] { QTest::mouseClick(Find<QPushButton>("BitBtn1"), Qt::LeftButton); });
  EXPECT_EQ(result, mw::kModalOk);
}

TEST_F(AdFormTest, EnterPressesOk) {
  int result = ShowAndDo([&] { QTest::keyClick(&form, Qt::Key_Return); });
  EXPECT_EQ(result, mw::kModalOk);
}

TEST_F(AdFormTest, OnlyOkClosesTheWindow) {
  EXPECT_EQ(ShowAndDo([&] { QTest::keyClick(&form, Qt::Key_Escape); }), kLeftOpen);
  EXPECT_EQ(ShowAndDo([&] { form.close(); }), kLeftOpen);
  EXPECT_EQ(ShowAndDo([&] { QTest::mouseClick(Find<QPushButton>("BitBtn2"), Qt::LeftButton); }),
            kLeftOpen);
}

TEST_F(AdFormTest, ShownModally) {
  bool modalWhileShown = false;
  ShowAndDo(
      [&] { modalWhileShown = form.isModal() && QApplication::activeModalWidget() == &form; });
  EXPECT_TRUE(modalWhileShown);
}

}  // namespace
