// The quick ways of reading a large map: plain numbers, and mark texts that point into
// the text the map was read from.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <random>
#include <sstream>
#include <string>

#include "map/map_file.h"
#include "map/numbers.h"

namespace mw {
namespace {

// What the general way gives: the nearest double, then the nearest float to that.
float GeneralFloat(const std::string& text) {
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return static_cast<float>(value);
}

TEST(QuickNumbers, PlainDecimalsGiveTheGeneralValue) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> fraction(-1.5, 1.5);
  std::uniform_int_distribution<int> digits(0, 15);
  char text[64];
  for (int i = 0; i < 200000; ++i) {
    const double value = fraction(random) * std::pow(10.0, digits(random) % 9);
    std::snprintf(text, sizeof text, "%.*f", digits(random) % 7 + 1, value);
    ASSERT_EQ(ParseFloat(text), GeneralFloat(text)) << text;
  }
  for (std::string edge : {"0.000000", "-0.000000", "999999999999999", "99999999.9999999",
                           "0.123456789012345", "1.0000000000000002", "16777217.0"}) {
    auto parsed = ParseFloat(edge);
    ASSERT_TRUE(parsed) << edge;
    EXPECT_EQ(*parsed, GeneralFloat(edge)) << edge;
    EXPECT_EQ(std::signbit(*parsed), edge.front() == '-') << edge;
  }
}

TEST(QuickNumbers, TextsBeyondThePlainFormTakeTheGeneralWay) {
  EXPECT_EQ(ParseFloat("1234567890123456"), GeneralFloat("1234567890123456"));
  EXPECT_EQ(ParseFloat("0.1234567890123456789"), GeneralFloat("0.1234567890123456789"));
  EXPECT_EQ(ParseFloat("5."), 5.0f);
  EXPECT_EQ(ParseFloat(".5"), 0.5f);
  EXPECT_FALSE(ParseFloat("1.2.3"));
  EXPECT_FALSE(ParseFloat("-"));
  EXPECT_FALSE(ParseFloat("--1"));
  EXPECT_EQ(ParseInt("0000000042"), 42);
  EXPECT_EQ(ParseInt("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(ParseInt("999999999"), 999999999);
  EXPECT_FALSE(ParseInt("4294967296"));
  EXPECT_FALSE(ParseInt("-"));
  EXPECT_FALSE(ParseInt("1-"));
  // A line that is gone reads as no number at all, not as zero.
  EXPECT_FALSE(ParseInt(std::string_view()));
  EXPECT_FALSE(ParseFloat(std::string_view()));
}

TEST(QuickNumbers, NumberLinesKeepTheEndOfFileRule) {
  MapLineReader reader("7\r\n8\n9\r\n  10 \r\n-0.5\r\n11");
  EXPECT_EQ(reader.ReadIntLine(), 7);
  EXPECT_EQ(reader.ReadIntLine(), 8);
  EXPECT_EQ(reader.ReadIntLine(), 9);
  EXPECT_EQ(reader.ReadIntLine(), 10);
  EXPECT_EQ(reader.ReadFloatLine(), -0.5f);
  EXPECT_FALSE(reader.Eof());
  EXPECT_EQ(reader.ReadIntLine(), 11);
  EXPECT_TRUE(reader.Eof());
  EXPECT_FALSE(reader.LastReadFoundNothing());
  EXPECT_FALSE(reader.ReadIntLine());
  EXPECT_TRUE(reader.LastReadFoundNothing());

  MapLineReader crAtTheEnd("12\r");
  EXPECT_EQ(crAtTheEnd.ReadIntLine(), 12);
  EXPECT_TRUE(crAtTheEnd.Eof());
}

const char* const kTwoMarks =
    "markweaverdata1.01\r\n610\r\n545\r\n"
    "/clips/hall.jpg\r\n0.250000\r\n0.500000\r\n10\r\n/clips/kitchen.jpg\r\n<reserved>\r\n"
    "598\r\n349\r\nGo to the kitchen\r\n"
    "/clips/kitchen.jpg\r\n0.800000\r\n0.100000\r\n15\r\n/clips/hall.jpg\r\n<reserved>\r\n"
    "598\r\n349\r\nBack to the hall\r\n";

TEST(MapTexts, CopiesOutliveTheMapTheyWereReadInto) {
  ClickerMark copied;
  ClipMap copiedMap;
  {
    MapFileContent content = ParseMap(kTwoMarks);
    ASSERT_EQ(content.marks.Count(), 2u);
    copied = content.marks.At(1);
    copiedMap = content.marks;
  }
  EXPECT_EQ(copied.Clip, "/clips/kitchen.jpg");
  EXPECT_EQ(copied.Hint, "Back to the hall");
  ASSERT_EQ(copiedMap.Count(), 2u);
  EXPECT_EQ(copiedMap.First().NextClip, "/clips/kitchen.jpg");
  EXPECT_EQ(copiedMap.At(1).Reserved, "<reserved>");
}

TEST(MapTexts, AMovedMapKeepsItsTextsAndAClearedOneTakesNewMarks) {
  ClipMap moved;
  {
    MapFileContent content = ParseMap(kTwoMarks);
    moved = std::move(content.marks);
  }
  EXPECT_EQ(moved.First().Clip, "/clips/hall.jpg");
  moved.RemoveAt(0);
  EXPECT_EQ(moved.First().Hint, "Back to the hall");
  moved.Append(moved.First());
  EXPECT_EQ(moved.At(1), moved.At(0));
  moved.Clear();
  ClickerMark mark;
  mark.Clip = std::string("/clips/new.jpg");
  moved.Append(mark);
  EXPECT_EQ(moved.First().Clip, "/clips/new.jpg");
  EXPECT_EQ(moved.First().NextClip, "<output>");
}

TEST(MapTexts, ATextTakesAPartOfItselfAndComparesByBytes) {
  MarkText text = "/clips/hall.jpg";
  text = std::string_view(text).substr(7);
  EXPECT_EQ(text, "hall.jpg");
  EXPECT_EQ(text.str(), std::string("hall.jpg"));
  EXPECT_NE(text, MarkText("hall.jpG"));
  MarkText empty;
  EXPECT_TRUE(empty.empty());
  EXPECT_EQ(empty, "");
  std::ostringstream printed;
  printed << text;
  EXPECT_EQ(printed.str(), "hall.jpg");
}

}  // namespace
}  // namespace mw
