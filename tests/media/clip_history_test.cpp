// The clip-kind rule and the clip history.
#include "media/clip_history.h"

#include <gtest/gtest.h>

#include "media/clip_kind.h"

namespace mw {
namespace {

TEST(ClipKindOfPath, PhotosByExtensionInAnyCase) {
  for (const char* path : {"a.jpg", "a.JPG", "/x/b.Jpeg", "c.jpeg", "jpg", "JPEG", "x.y.jpg"})
    EXPECT_EQ(ClipKindOfPath(path), ClipKind::PhotoClip) << path;
}

TEST(ClipKindOfPath, EverythingElseIsTriedAsAMovie) {
  for (const char* path : {"a.mpg", "a.mpeg", "a.avi", "a.MP4", "noextension", "/my.clips/movie",
                           "/my.jpg/movie", "photo.jpg.bak", "a.", "."})
    EXPECT_EQ(ClipKindOfPath(path), ClipKind::MovieClip) << path;
}

TEST(ClipKindOfPath, EmptyPathIsNoClip) {
  EXPECT_EQ(ClipKindOfPath(""), ClipKind::NoClip);
}

TEST(ClipExtension, TextAfterLastDotInLowerCase) {
  EXPECT_EQ(ClipExtension("/a/B.JpEg"), "jpeg");
  EXPECT_EQ(ClipExtension("/my.clips/movie"), "clips/movie");
  EXPECT_EQ(ClipExtension("NoDot"), "nodot");
  EXPECT_EQ(ClipExtension("end."), "");
}

class ClipHistoryTest : public ::testing::Test {
 protected:
  void Record(std::initializer_list<const char*> paths) {
    for (const char* path : paths) history.Record(path);
  }
  std::vector<std::string> Entries() const { return history.Entries(); }
  ClipHistory history;
};

TEST_F(ClipHistoryTest, StartsEmptyWithButtonsOff) {
  EXPECT_TRUE(history.Empty());
  EXPECT_EQ(history.Current(), "");
  EXPECT_FALSE(history.PreviousEnabled());
  EXPECT_FALSE(history.NextEnabled());
  EXPECT_FALSE(history.Previous());
  EXPECT_FALSE(history.Next());
  EXPECT_EQ(history.DropLast(), "");
  EXPECT_TRUE(history.Empty());
}

TEST_F(ClipHistoryTest, ThreeClipsLeaveTheLastCurrent) {
  Record({"A", "B", "C"});
  EXPECT_EQ(history.Count(), 3u);
  EXPECT_EQ(history.Current(), "C");
  EXPECT_EQ(history.NextHint(), "Next clip (Total = 3)");
  EXPECT_TRUE(history.PreviousEnabled());
  EXPECT_FALSE(history.NextEnabled());
}

TEST_F(ClipHistoryTest, BackTwiceThenNewClipDropsTheForwardEntries) {
  Record({"A", "B", "C"});
  EXPECT_TRUE(history.Previous());
  EXPECT_TRUE(history.Previous());
  EXPECT_EQ(history.Current(), "A");
  EXPECT_FALSE(history.PreviousEnabled());
  EXPECT_TRUE(history.NextEnabled());
  history.Record("D");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"A", "D"}));
  EXPECT_EQ(history.Current(), "D");
  EXPECT_EQ(history.NextHint(), "Next clip (Total = 2)");
}

TEST_F(ClipHistoryTest, RecordingTheNextEntryReplacesIt) {
  Record({"A", "B", "C"});
  history.Previous();
  history.Record("C");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(history.CurrentIndex(), 2u);
}

TEST_F(ClipHistoryTest, EqualPathsAreNotMerged) {
  Record({"A", "B"});
  history.Previous();
  history.Record("A");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"A", "A"}));
  // Also when the path equals the current and last entry, so DropLast can take it back.
  history.Record("A");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"A", "A", "A"}));
  EXPECT_EQ(history.DropLast(), "A");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"A", "A"}));
}

TEST_F(ClipHistoryTest, PreviousOnFirstAndNextOnLastDoNothing) {
  Record({"A", "B"});
  EXPECT_FALSE(history.Next());
  EXPECT_EQ(history.Current(), "B");
  EXPECT_TRUE(history.Previous());
  EXPECT_FALSE(history.Previous());
  EXPECT_EQ(history.Current(), "A");
  EXPECT_EQ(history.Count(), 2u);
}

TEST_F(ClipHistoryTest, OneEntryEnablesNoButton) {
  Record({"A"});
  EXPECT_FALSE(history.PreviousEnabled());
  EXPECT_FALSE(history.NextEnabled());
}

TEST_F(ClipHistoryTest, DropLastReturnsToTheEntryBefore) {
  Record({"A", "B", "C"});
  history.Previous();
  history.Previous();
  // The entry that a caller has just recorded is taken back; the one before becomes current.
  history.Record("D");
  EXPECT_EQ(history.DropLast(), "A");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"A"}));
  EXPECT_EQ(history.Current(), "A");
  EXPECT_EQ(history.NextHint(), "Next clip (Total = 1)");
}

TEST_F(ClipHistoryTest, DropLastOfTheOnlyEntryEmptiesTheHistory) {
  Record({"A"});
  EXPECT_EQ(history.DropLast(), "");
  EXPECT_TRUE(history.Empty());
  EXPECT_EQ(history.NextHint(), "Next clip (Total = 0)");
  history.Record("B");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"B"}));
}

TEST_F(ClipHistoryTest, EmptyPathsAreRecordedLikeAnyOther) {
  Record({"A", ""});
  EXPECT_EQ(history.Count(), 2u);
  EXPECT_EQ(history.Current(), "");
  EXPECT_TRUE(history.PreviousEnabled());
}

}  // namespace
}  // namespace mw
