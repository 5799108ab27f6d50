// Map texts shown on screen are cut to a readable length between characters.
#include "media/display_text.h"

#include <gtest/gtest.h>

#include <string>

namespace mw {
namespace {

TEST(TextForDisplay, ShortTextsAreShownWhole) {
  EXPECT_EQ(TextForDisplay("Go to the kitchen"), QString("Go to the kitchen"));
  EXPECT_EQ(TextForDisplay(""), QString());
  EXPECT_EQ(TextForDisplay(std::string(kLongestShownText, 'x')).size(),
            static_cast<qsizetype>(kLongestShownText));
}

TEST(TextForDisplay, LongTextsAreCutWithAnEllipsis) {
  const QString shown = TextForDisplay(std::string(10'000'000, 'm'));
  EXPECT_EQ(shown.size(), static_cast<qsizetype>(kLongestShownText) + 1);
  EXPECT_EQ(shown.back(), QChar(0x2026));
}

TEST(TextForDisplay, CutNeverSplitsALetter) {
  // "é" is two bytes; a cut after its first byte backs off to before it.
  const std::string text = std::string(3, 'a') + "\xC3\xA9" + "bbb";
  const QString shown = TextForDisplay(text, 4);
  EXPECT_EQ(shown, QString("aaa") + QChar(0x2026));
  EXPECT_EQ(TextForDisplay(text, 5), QString::fromUtf8("aaa\xC3\xA9") + QChar(0x2026));
}

}  // namespace
}  // namespace mw
