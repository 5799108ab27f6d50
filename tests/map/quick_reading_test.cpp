// The quick ways of reading a large map: plain numbers, and mark texts that point into
// the text the map was read from.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <random>
#include <span>
#include <sstream>
#include <string>
#include <vector>

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

// A map of more than a mebibyte, which is read on two threads. `textOf` gives the
// texts of mark i, so a test can make texts that look like numbers.
template <class TextOf>
std::string LargeMapText(int count, TextOf textOf) {
  std::vector<ClickerMark> marks(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    ClickerMark& mark = marks[static_cast<std::size_t>(i)];
    mark.Clip = textOf(i, 0);
    mark.X = static_cast<float>(i % 600) / 600;
    mark.Y = static_cast<float>(i % 350) / 350;
    mark.Size = 5 + i % 90;
    mark.NextClip = textOf(i, 1);
    mark.Reserved = textOf(i, 2);
    mark.AreaWidth = 600;
    mark.AreaHeight = 350;
    mark.Hint = textOf(i, 3);
  }
  return FormatMap({610, 545}, marks);
}

std::string RoomText(int i, int field) {
  return "/home/ann/tour/room" + std::to_string(i % 500 + field) + ".jpg with a longer name";
}

// The marks as one reading of the text, mark after mark, gives them.
std::vector<ClickerMark> ReadMarkByMark(std::string_view text) {
  MapLineReader reader(text);
  reader.ReadMapLine();
  reader.ReadMapLine();
  reader.ReadMapLine();
  std::vector<ClickerMark> marks;
  bool complete = true;
  while (!reader.Eof()) {
    marks.emplace_back();
    complete = ReadMark(reader, marks.back());
  }
  if (!marks.empty() && !complete) marks.pop_back();
  return marks;
}

void ExpectReadAsOneReadingGivesIt(const std::string& text) {
  ASSERT_GT(text.size(), std::size_t{1} << 20);
  MapFileContent content = ParseMap(text);
  ASSERT_EQ(content.status, MapReadStatus::Loaded);
  const std::vector<ClickerMark> expected = ReadMarkByMark(text);
  ASSERT_EQ(content.marks.Count(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i)
    ASSERT_EQ(content.marks.At(i), expected[i]) << "mark " << i;
}

// Lines and line ends as a hand-edited or foreign map may hold them; the first of
// each list is the plain form.
constexpr const char* kFloatLines[] = {"0.25",      "12", "-3",         "+4",
                                       " 7",        "7 ", "1e2",        "",
                                       "x",         "0.", "1234567890", "0.1234567890123456",
                                       "-0.000001", "5x"};
constexpr const char* kIntLines[] = {"12", "-3", "+4",   " 7",          "7 ",  "1e2",
                                     "",   "x",  "0.25", "12345678901", "598", "5x"};
constexpr const char* kTextLines[] = {"/clips/a.jpg",        "", " b ", "12", "c\t", "<info>",
                                      "r\xc3\xa9sum\xc3\xa9"};
constexpr const char* kLineEnds[] = {"\r\n", "\n", "\r\r\n", " \r\n", "\t\n", "x\n"};

// The lines line `field` of a mark may hold.
std::span<const char* const> LinesFor(int field) {
  if (field == 1 || field == 2) return kFloatLines;
  if (field == 3 || field == 6 || field == 7) return kIntLines;
  return kTextLines;
}

void ExpectReadAsMarkByMark(const std::string& text, const std::string& what) {
  const MapFileContent content = ParseMap(text);
  if (content.status != MapReadStatus::Loaded) return;
  const std::vector<ClickerMark> expected = ReadMarkByMark(text);
  ASSERT_EQ(content.marks.Count(), expected.size()) << what;
  for (std::size_t i = 0; i < expected.size(); ++i)
    ASSERT_EQ(content.marks.At(i), expected[i]) << what << ", mark " << i;
}

// Three plain marks, with line `field` of the second one replaced by `line`.
std::string PlainMarksWithOneLine(int field, const std::string& line) {
  std::string text;
  WriteMapHeader(text, {610, 545});
  for (int mark = 0; mark < 3; ++mark)
    for (int at = 0; at < 9; ++at)
      text += mark == 1 && at == field ? line : std::string(LinesFor(at)[0]) + "\r\n";
  return text;
}

TEST(PlainMarks, EachLineThatIsNotPlainReadsAsLineByLine) {
  for (int field = 0; field < 9; ++field)
    for (const char* end : kLineEnds)
      for (const char* line : LinesFor(field))
        ExpectReadAsMarkByMark(PlainMarksWithOneLine(field, std::string(line) + end),
                               "line " + std::to_string(field) + " " + line + end);
}

// Mostly the plain form, so that many marks are plain and others are not.
const char* MostlyPlain(std::mt19937& random, std::span<const char* const> choices) {
  if (random() % 8 != 0) return choices[0];
  return choices[std::uniform_int_distribution<std::size_t>(0, choices.size() - 1)(random)];
}

TEST(PlainMarks, VariedMapsCutAnywhereReadAsLineByLine) {
  // The quick reading must give what the line-by-line reading gives, near the end of
  // the text too.
  std::mt19937 random(11);
  std::uniform_int_distribution<int> markCount(0, 12);
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    WriteMapHeader(text, {610, 545});
    const int count = markCount(random);
    for (int line = 0; line < 9 * count; ++line) {
      text += MostlyPlain(random, LinesFor(line % 9));
      text += MostlyPlain(random, kLineEnds);
    }
    if (round % 2 == 1)
      text.resize(std::uniform_int_distribution<std::size_t>(0, text.size())(random));
    ExpectReadAsMarkByMark(text, "round " + std::to_string(round));
  }
}

TEST(LargeMaps, ReadAsOneReadingGivesThem) {
  const std::string text = LargeMapText(20000, RoomText);
  ExpectReadAsOneReadingGivesIt(text);
  EXPECT_EQ(ParseMap(text).marks.Count(), 20000u);
}

TEST(LargeMaps, TextsThatLookLikeNumbersDoNotMisplaceMarks) {
  // Every text a plain number: nearly any line could start a mark.
  ExpectReadAsOneReadingGivesIt(
      LargeMapText(40000, [](int i, int field) { return std::to_string((i * 7 + field) % 100); }));
}

TEST(LargeMaps, ABadNumberEarlyOnPutsTheRestOutOfStepAsItWould) {
  std::string text = LargeMapText(20000, RoomText);
  // The X line of mark 10 becomes no number: from there on, lines fall differently.
  std::size_t at = 0;
  for (int line = 0; line < 3 + 9 * 10 + 1; ++line) at = text.find('\n', at) + 1;
  text.replace(at, 8, "0.2x0000");
  ExpectReadAsOneReadingGivesIt(text);
  EXPECT_NE(ParseMap(text).marks.Count(), 20000u);
}

TEST(LargeMaps, AMarkCutOffAtTheEndIsDropped) {
  std::string text = LargeMapText(20000, RoomText);
  text.resize(text.rfind('\n', text.size() - 3) + 1);  // the last message line gone
  ExpectReadAsOneReadingGivesIt(text);
  EXPECT_EQ(ParseMap(text).marks.Count(), 19999u);
}

}  // namespace
}  // namespace mw
