// The map file: the worked example, round trips, the reading rules and damaged files.
#include "map/map_file.h"

#include <gtest/gtest.h>

#include <clocale>

#include "map/numbers.h"
#include "temp_folder.h"

namespace mw {
namespace {

using test::ReadText;
using test::TempFolder;
using test::WriteText;

ClickerMark Mark(std::string clip, float x, float y, int size, std::string next, int w, int h,
                 std::string hint) {
  ClickerMark m;
  m.Clip = std::move(clip);
  m.X = x;
  m.Y = y;
  m.Size = size;
  m.NextClip = std::move(next);
  m.Reserved = "<reserved>";
  m.AreaWidth = w;
  m.AreaHeight = h;
  m.Hint = std::move(hint);
  return m;
}

const char* const kWorkedExample =
    "markweaverdata1.01\r\n610\r\n545\r\n"
    "/clips/hall.jpg\r\n0.250000\r\n0.500000\r\n10\r\n/clips/kitchen.jpg\r\n<reserved>\r\n"
    "598\r\n349\r\nGo to the kitchen\r\n"
    "/clips/kitchen.jpg\r\n0.800000\r\n0.100000\r\n15\r\n/clips/hall.jpg\r\n<reserved>\r\n"
    "598\r\n349\r\nBack to the hall\r\n";

std::vector<ClickerMark> WorkedExampleMarks() {
  return {Mark("/clips/hall.jpg", 0.25f, 0.5f, 10, "/clips/kitchen.jpg", 598, 349,
               "Go to the kitchen"),
          Mark("/clips/kitchen.jpg", 0.8f, 0.1f, 15, "/clips/hall.jpg", 598, 349,
               "Back to the hall")};
}

TEST(MapFormat, WorkedExampleIsWrittenByteForByte) {
  EXPECT_EQ(FormatMap({610, 545}, WorkedExampleMarks()), kWorkedExample);
}

TEST(MapFormat, WorkedExampleReadsBack) {
  MapFileContent content = ParseMap(kWorkedExample);
  ASSERT_EQ(content.status, MapReadStatus::Loaded);
  ASSERT_TRUE(content.windowSize);
  EXPECT_EQ(*content.windowSize, (WindowSize{610, 545}));
  EXPECT_EQ(content.marks.Marks(), WorkedExampleMarks());
  EXPECT_EQ(content.marks.First().Clip, "/clips/hall.jpg");
}

TEST(MapFormat, RoundTripKeepsEveryFieldButTrailingBlanksAndSixDecimals) {
  ClickerMark odd = Mark(" lead space.jpg", 1.0f / 3, -0.5f, 99, "", -1, 0, "");
  odd.Reserved = "anything at all";
  ClickerMark trailing = Mark("clip.jpg   ", 0.1234567f, 2.5f, 5, "next\t", 0, 0, "hint  ");
  auto content = ParseMap(FormatMap({1, 2}, std::vector{odd, trailing}));
  ASSERT_EQ(content.marks.Count(), 2u);
  const ClickerMark& a = content.marks.At(0);
  EXPECT_EQ(a.Clip, " lead space.jpg");
  EXPECT_FLOAT_EQ(a.X, 0.333333f);
  EXPECT_EQ(a.Y, -0.5f);
  EXPECT_EQ(a.NextClip, "");
  EXPECT_EQ(a.Reserved, "anything at all");
  EXPECT_EQ(a.AreaWidth, -1);
  EXPECT_EQ(a.Hint, "");
  const ClickerMark& b = content.marks.At(1);
  EXPECT_EQ(b.Clip, "clip.jpg");
  EXPECT_EQ(b.NextClip, "next");
  EXPECT_EQ(b.Hint, "hint");
  EXPECT_FLOAT_EQ(b.X, 0.123457f);
}

TEST(MapFormat, EmptyMapIsTheHeaderLinesAlone) {
  EXPECT_EQ(FormatMap({800, 600}, {}), "markweaverdata1.01\r\n800\r\n600\r\n");
  auto content = ParseMap("markweaverdata1.01\r\n800\r\n600\r\n");
  EXPECT_EQ(content.status, MapReadStatus::Loaded);
  EXPECT_TRUE(content.marks.Empty());
  EXPECT_EQ(*content.windowSize, (WindowSize{800, 600}));
}

TEST(MapFormat, LongLinesAreReadWhole) {
  std::string longHint(5000, 'h');
  std::string longClip = "/" + std::string(1500, 'c') + ".jpg";
  auto marks = std::vector{Mark(longClip, 0.5f, 0.5f, 10, "n", 1, 1, longHint),
                           Mark("second", 0, 0, 10, "n", 1, 1, "x")};
  auto content = ParseMap(FormatMap({1, 1}, marks));
  EXPECT_EQ(content.marks.Marks(), marks);
}

TEST(MapFormat, UnsignedBytesAtTheEndOfALineAreKept) {
  // "é" in UTF-8 ends in 0xA9, which is not a control character.
  auto marks = std::vector{Mark("caf\xC3\xA9", 0, 0, 10, "\xC3\xA9", 1, 1, "\xE2\x82\xAC")};
  EXPECT_EQ(ParseMap(FormatMap({1, 1}, marks)).marks.Marks(), marks);
}

TEST(MapReading, HeaderWithoutSizeFlagHasMarksFromLineTwo) {
  for (const char* header : {"markweaverdata1.0", "markweaverdata1.02", "markweaverdata1.0x"}) {
    std::string text = std::string(header) + "\nclip\n0.5\n0.5\n10\nnext\nr\n0\n0\nhint\n";
    auto content = ParseMap(text);
    ASSERT_EQ(content.status, MapReadStatus::Loaded) << header;
    EXPECT_FALSE(content.windowSize) << header;
    ASSERT_EQ(content.marks.Count(), 1u) << header;
    EXPECT_EQ(content.marks.First().Hint, "hint");
  }
}

TEST(MapReading, WrongOrEmptyHeaderIsInvalid) {
  for (const char* text : {"", "\n", "Markweaverdata1.01\n1\n1\n", "markweaverdata1.", "garbage"})
    EXPECT_EQ(ParseMap(text).status, MapReadStatus::InvalidHeader) << text;
}

TEST(MapReading, BadSizeLineAbandonsTheLoadWithItsText) {
  auto content = ParseMap("markweaverdata1.01\r\n61O\r\n545\r\nclip\r\n");
  EXPECT_EQ(content.status, MapReadStatus::BadSizeLine);
  EXPECT_EQ(content.badLine, "61O");
  EXPECT_TRUE(content.marks.Empty());
  EXPECT_EQ(ParseMap("markweaverdata1.01\r\n610\r\n\r\n").badLine, "");
  EXPECT_EQ(ParseMap("markweaverdata1.01\r\n610\r\n99999999999\r\n").status,
            MapReadStatus::BadSizeLine);
}

TEST(MapReading, LastLineWithoutLineBreakKeepsTheCompleteMark) {
  std::string text = FormatMap({10, 10}, WorkedExampleMarks());
  text.erase(text.size() - 2);  // no CR LF after the last hint
  auto content = ParseMap(text);
  ASSERT_EQ(content.marks.Count(), 2u);
  EXPECT_EQ(content.marks.At(1).Hint, "Back to the hall");
}

TEST(MapReading, LineFeedAloneIsAccepted) {
  std::string text = kWorkedExample;
  std::erase(text, '\r');
  EXPECT_EQ(ParseMap(text).marks.Marks(), WorkedExampleMarks());
}

TEST(MapReading, MarkCutOffBeforeItsNinthLineIsDropped) {
  std::string full = FormatMap({10, 10}, WorkedExampleMarks());
  // Cut after each of the second mark's first eight lines, with and without a line break.
  std::size_t secondMark = full.find("/clips/kitchen.jpg\r\n0.8");
  std::size_t position = secondMark;
  for (int line = 0; line < 8; ++line) {
    position = full.find("\r\n", position) + 2;
    for (std::size_t cut : {position, position - 2}) {
      auto content = ParseMap(full.substr(0, cut));
      ASSERT_EQ(content.marks.Count(), 1u) << "cut after line " << line + 1;
      EXPECT_EQ(content.marks.First(), WorkedExampleMarks()[0]);
    }
  }
}

TEST(MapReading, BadNumberReadsOnOutOfStep) {
  // The X line of the first mark is no number: the mark keeps its clip, the
  // defaults after it, and its remaining lines begin the next mark.
  std::string text =
      "markweaverdata1.01\n1\n1\n"
      "a.jpg\nnot a number\n"                            // mark 1 ends at its bad X
      "0.5\n10\n0.25\nb.jpg\nres\n7\n8\nhint\n";        // mark 2 begins with "0.5"
  auto content = ParseMap(text);
  ASSERT_EQ(content.marks.Count(), 3u);
  ClickerMark first;
  first.Clip = "a.jpg";
  EXPECT_EQ(content.marks.At(0), first);
  const ClickerMark& second = content.marks.At(1);
  EXPECT_EQ(second.Clip, "0.5");
  EXPECT_EQ(second.X, 10.0f);
  EXPECT_EQ(second.Y, 0.25f);
  // "b.jpg" is no integer size: defaults from here on.
  EXPECT_EQ(second.Size, 10);
  EXPECT_EQ(second.NextClip, "<output>");
  // The third begins at "res" and ends at the size line "hint"; the fourth meets the end.
  EXPECT_EQ(content.marks.At(2).Clip, "res");
  EXPECT_EQ(content.marks.At(2).X, 7.0f);
}

// Each mark cut short takes a whole record for a few bytes: a text of little else is no
// map, while a damaged map with some of them among its whole marks still reads.
TEST(MapReading, TextOfMarksCutShortIsNoMap) {
  const std::string header = "markweaverdata1.01\r\n610\r\n545\r\n";
  std::string junk = header;
  for (int k = 0; k < 5000; ++k) junk += "a\r\nx\r\n";
  EXPECT_EQ(ParseMap(junk).status, MapReadStatus::InvalidHeader);
  // The same on the two threads of a large text.
  while (junk.size() < (std::size_t{3} << 20)) junk += "a\r\nx\r\n";
  EXPECT_EQ(ParseMap(junk).status, MapReadStatus::InvalidHeader);

  std::string damaged = header;
  const std::string whole = "a.jpg\r\n0.5\r\n0.5\r\n10\r\nb.jpg\r\nres\r\n7\r\n8\r\nhint\r\n";
  for (int k = 0; k < 20000; ++k) damaged += k % 10 == 0 ? "a\r\nx\r\n" + whole : whole;
  const MapFileContent content = ParseMap(damaged);
  EXPECT_EQ(content.status, MapReadStatus::Loaded);
  EXPECT_EQ(content.marks.Count(), 22000u);
}

TEST(MapReading, DefaultsOfANewRecord) {
  ClickerMark m;
  EXPECT_EQ(m.Clip, "<input>");
  EXPECT_EQ(m.X, 0);
  EXPECT_EQ(m.Y, 0);
  EXPECT_EQ(m.Size, 10);
  EXPECT_EQ(m.NextClip, "<output>");
  EXPECT_EQ(m.Reserved, "<info>");
  EXPECT_EQ(m.Hint, "");
  EXPECT_EQ(m.AreaWidth, 0);
  EXPECT_EQ(m.AreaHeight, 0);
}

TEST(MapLineReader, EndOfFileRule) {
  MapLineReader withBreak("a\r\n");
  EXPECT_EQ(withBreak.ReadMapLine(), "a");
  EXPECT_FALSE(withBreak.Eof());
  EXPECT_EQ(withBreak.ReadMapLine(), "");
  EXPECT_TRUE(withBreak.Eof());

  MapLineReader withoutBreak("a\r\nb  \t");
  withoutBreak.ReadMapLine();
  EXPECT_EQ(withoutBreak.ReadMapLine(), "b");
  EXPECT_TRUE(withoutBreak.Eof());
  MapLineReader leading("  x \x01\n");
  EXPECT_EQ(leading.ReadMapLine(), "  x");
}

TEST(Numbers, ReadAndWrittenTheSameUnderADecimalCommaLocale) {
  const char* german = std::setlocale(LC_ALL, "de_DE.UTF-8");
  if (german == nullptr) german = std::setlocale(LC_ALL, "de_DE");
  std::string out;
  AppendFixed6(out, 0.25f);
  EXPECT_EQ(out, "0.250000");
  EXPECT_EQ(ParseFloat("0.125"), 0.125f);
  EXPECT_FALSE(ParseFloat("0,125"));
  EXPECT_EQ(ParseMap(kWorkedExample).marks.Marks(), WorkedExampleMarks());
  std::setlocale(LC_ALL, "C");
  if (german == nullptr) GTEST_SKIP() << "no German locale installed; checked under C only";
}

TEST(Numbers, IntegerAndDecimalForms) {
  EXPECT_EQ(ParseInt("42"), 42);
  EXPECT_EQ(ParseInt("-7"), -7);
  EXPECT_EQ(ParseInt("+7"), 7);
  EXPECT_EQ(ParseInt("  12"), 12);
  EXPECT_FALSE(ParseInt(""));
  EXPECT_FALSE(ParseInt("1.5"));
  EXPECT_FALSE(ParseInt("12abc"));
  EXPECT_FALSE(ParseInt("2147483648"));
  EXPECT_EQ(ParseFloat("1e-1"), 0.1f);
  EXPECT_FALSE(ParseFloat("nan"));
  EXPECT_FALSE(ParseFloat("inf"));
  EXPECT_FALSE(ParseFloat("1e39"));
  std::string out;
  AppendFixed6(out, -0.5f);
  EXPECT_EQ(out, "-0.500000");
}

TEST(MapWriting, TextWithALineFeedIsRefusedAndTheOldFileKept) {
  TempFolder folder;
  std::string path = folder.File("map.clm");
  WriteText(path, "old content");
  auto marks = WorkedExampleMarks();
  marks[1].Hint = "two\nlines";
  MapWriteOutcome outcome = WriteMapFile(path, {1, 1}, marks);
  EXPECT_EQ(outcome.status, MapWriteStatus::UnstorableText);
  EXPECT_EQ(outcome.markIndex, 1u);
  EXPECT_EQ(ReadText(path), "old content");
  EXPECT_EQ(test::EntriesIn(folder.Path()), 1u);
}

TEST(MapWriting, WrittenFileReadsBack) {
  TempFolder folder;
  std::string path = folder.File("map.clm");
  ASSERT_EQ(WriteMapFile(path, {610, 545}, WorkedExampleMarks()).status,
            MapWriteStatus::Written);
  EXPECT_EQ(ReadText(path), kWorkedExample);
  EXPECT_EQ(ReadMapFile(path).marks.Marks(), WorkedExampleMarks());
  EXPECT_EQ(ReadMapFile(folder.File("missing.clm")).status, MapReadStatus::OpenFailed);
  EXPECT_EQ(ReadMapFile(folder.Path()).status, MapReadStatus::OpenFailed);
}

TEST(ClipMapOperations, RemovalKeepsTheOrderOfTheOthers) {
  ClipMap map;
  for (const char* clip : {"a", "b", "c", "d"}) {
    ClickerMark m;
    m.Clip = clip;
    map.Append(m);
  }
  map.RemoveAt(1);
  map.RemoveAt(10);
  ASSERT_EQ(map.Count(), 3u);
  EXPECT_EQ(map.At(0).Clip, "a");
  EXPECT_EQ(map.At(1).Clip, "c");
  EXPECT_EQ(map.At(2).Clip, "d");
  map.RemoveLast();
  map.RemoveAt(0);
  map.RemoveAt(0);
  EXPECT_TRUE(map.Empty());
  map.RemoveLast();
  EXPECT_TRUE(map.Empty());
}

}  // namespace
}  // namespace mw
