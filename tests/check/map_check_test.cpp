// The map check on maps made by the tests, with real photos and movies in a temporary
// folder that is the current directory, as the editor reads clip paths.
#include "check/map_check.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "../map/temp_folder.h"
#include "../media/exif_fixtures.h"
#include "../media/jpeg_fixtures.h"
#include "check/clip_graph.h"
#include "media/jpeg_decoder.h"

namespace mw {
namespace {

using test::TempFolder;

ClickerMark Mark(const std::string& clip, float x, float y, const std::string& target,
                 const std::string& message = "go") {
  ClickerMark mark;
  mark.Clip = clip;
  mark.X = x;
  mark.Y = y;
  mark.NextClip = target;
  mark.Hint = message;
  return mark;
}

ClipMap MapOf(std::initializer_list<ClickerMark> marks) {
  ClipMap map;
  for (const ClickerMark& mark : marks) map.Append(mark);
  return map;
}

std::vector<ProblemKind> Kinds(const std::vector<MapProblem>& problems) {
  std::vector<ProblemKind> kinds;
  for (const MapProblem& p : problems) kinds.push_back(p.kind);
  return kinds;
}

class MapCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(folder_.Path());
    test::WriteJpeg("hall.jpg", 64, 48);
    test::WriteJpeg("kitchen.JPEG", 48, 64);
    std::filesystem::copy_file(std::string(MW_TEST_DATA_DIR) + "/media/rgb.mpg", "garden.mpg");
  }
  void TearDown() override { std::filesystem::current_path(previous_); }

  static void WriteText(const std::string& name, const std::string& text) {
    std::ofstream(name, std::ios::binary) << text;
  }

  TempFolder folder_;
  std::filesystem::path previous_;
};

TEST_F(MapCheckTest, SoundMapWithPhotosAndAMovieHasNoProblem) {
  const ClipMap map = MapOf(
      {Mark("hall.jpg", 0.2f, 0.3f, "kitchen.JPEG"), Mark("kitchen.JPEG", 0.0f, 1.0f, "garden.mpg"),
       Mark("garden.mpg", 1.0f, 0.0f, "hall.jpg"), Mark("hall.jpg", 0.5f, 0.5f, "0")});
  EXPECT_TRUE(CheckMap(map).empty());
}

TEST_F(MapCheckTest, FindsEveryKindOfFileProblemAndNamesTheFile) {
  WriteText("notes.txt", "not a clip");
  test::WriteJpeg("broken.jpg", 32, 32);
  test::DamageFrameHeader("broken.jpg");
  std::filesystem::copy_file(std::string(MW_TEST_DATA_DIR) + "/media/not_a_movie.mpg", "noise.mpg");
  std::filesystem::create_directory("folder.jpg");
  const ClipMap map =
      MapOf({Mark("hall.jpg", 0.1f, 0.1f, "moved/away.jpg", "to the cellar"),
             Mark("hall.jpg", 0.2f, 0.1f, "notes.txt"), Mark("hall.jpg", 0.3f, 0.1f, "broken.jpg"),
             Mark("hall.jpg", 0.4f, 0.1f, "noise.mpg"), Mark("hall.jpg", 0.5f, 0.1f, "folder.jpg"),
             Mark("gone.mpg", 0.5f, 0.5f, "hall.jpg", "back")});
  const std::vector<MapProblem> problems = CheckMap(map);
  ASSERT_EQ(problems.size(), 7u);
  EXPECT_EQ(
      Kinds(problems),
      (std::vector<ProblemKind>{ProblemKind::MissingFile, ProblemKind::NotAClip,
                                ProblemKind::BadPhoto, ProblemKind::BadMovie, ProblemKind::NotAClip,
                                ProblemKind::MissingFile, ProblemKind::Unreachable}));
  EXPECT_EQ(problems[0].file, "moved/away.jpg");
  EXPECT_EQ(problems[0].clip, "hall.jpg");
  EXPECT_EQ(problems[0].message, "to the cellar");
  EXPECT_EQ(problems[0].markIndex, 0u);
  EXPECT_EQ(problems[2].file, "broken.jpg");
  EXPECT_EQ(problems[3].file, "noise.mpg");
  // The clip a mark sits on is checked as well as its target.
  EXPECT_EQ(problems[5].file, "gone.mpg");
  EXPECT_EQ(problems[5].markIndex, 5u);
  for (const MapProblem& p : problems)
    EXPECT_NE(FormatProblem(p).find(p.file), std::string::npos) << FormatProblem(p);
}

TEST_F(MapCheckTest, APhotoTheEditorRefusesAndAFileThatCannotBeReadAreProblems) {
  test::WriteJpeg("huge.jpg", 32, 32);
  test::PatchFrameSize("huge.jpg", 60000, 60000);
  test::WriteJpeg("locked.jpg", 32, 32);
  std::filesystem::permissions("locked.jpg", std::filesystem::perms::none);
  const ClipMap map =
      MapOf({Mark("hall.jpg", 0.1f, 0.1f, "huge.jpg"), Mark("hall.jpg", 0.2f, 0.1f, "locked.jpg")});
  const std::vector<MapProblem> problems = CheckMap(map);
  ASSERT_GE(problems.size(), 1u);
  EXPECT_EQ(problems[0].kind, ProblemKind::BadPhoto);
  EXPECT_EQ(problems[0].detail, "photo too large");
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_EQ(problems[1].kind, ProblemKind::UnreadableFile);
  EXPECT_EQ(problems[1].file, "locked.jpg");
}

TEST_F(MapCheckTest, PhotosTakenTurnedOrWithADamagedExifBlockAreNoProblem) {
  test::WriteJpeg("turned.jpg", 64, 48);
  test::InsertApp1("turned.jpg", test::ExifPayload(8));
  test::WriteJpeg("damaged.jpg", 64, 48);
  std::vector<std::uint8_t> damaged = test::ExifPayload(6);
  damaged.resize(20);
  test::InsertApp1("damaged.jpg", damaged);
  const ClipMap map = MapOf({Mark("hall.jpg", 0.1f, 0.1f, "turned.jpg"),
                             Mark("turned.jpg", 0.2f, 0.1f, "damaged.jpg"),
                             Mark("damaged.jpg", 0.2f, 0.1f, "hall.jpg")});
  EXPECT_TRUE(CheckMap(map).empty());
  const JpegHeader header = ReadJpegHeader("turned.jpg");
  EXPECT_EQ(header.width, 48);  // the size the photo is shown at
  EXPECT_EQ(header.height, 64);
}

TEST_F(MapCheckTest, ReadsOnlyAPhotosHeaderAndEachFileOnce) {
  // The picture data of this photo ends early, but its header reads: it is no problem,
  // which a whole decode would have found.
  test::WriteJpeg("cut.jpg", 256, 256);
  test::TruncateFile("cut.jpg", 0.5);
  const ClipMap map =
      MapOf({Mark("hall.jpg", 0.1f, 0.1f, "cut.jpg"), Mark("hall.jpg", 0.2f, 0.1f, "cut.jpg"),
             Mark("cut.jpg", 0.2f, 0.1f, "hall.jpg")});
  ClipProber prober;
  EXPECT_TRUE(CheckMap(map, prober).empty());
  EXPECT_EQ(prober.ProbedCount(), 2u);
}

TEST_F(MapCheckTest, FindsMarksOutsideTheirClipAndMarksAtOnePlace) {
  const float nan = std::nanf("");
  const ClipMap map = MapOf(
      {Mark("hall.jpg", 1.5f, 0.5f, "kitchen.JPEG"), Mark("hall.jpg", 0.5f, -0.01f, "kitchen.JPEG"),
       Mark("hall.jpg", nan, 0.5f, "kitchen.JPEG"), Mark("hall.jpg", 0.25f, 0.75f, "kitchen.JPEG"),
       Mark("hall.jpg", 0.25f, 0.75f, "garden.mpg", "second"),
       Mark("kitchen.JPEG", 0.25f, 0.75f, "hall.jpg"), Mark("garden.mpg", 1.0f, 1.0f, "hall.jpg")});
  const std::vector<MapProblem> problems = CheckMap(map);
  ASSERT_EQ(problems.size(), 4u);
  EXPECT_EQ(Kinds(problems),
            (std::vector<ProblemKind>{ProblemKind::OutsideClip, ProblemKind::OutsideClip,
                                      ProblemKind::OutsideClip, ProblemKind::SamePlace}));
  EXPECT_EQ(problems[3].markIndex, 4u);
  EXPECT_EQ(problems[3].message, "second");
}

TEST_F(MapCheckTest, FindsUnreachableClipsAndAMapWithoutMarks) {
  test::WriteJpeg("attic.jpg", 16, 16);
  const ClipMap map = MapOf({Mark("hall.jpg", 0.1f, 0.1f, "kitchen.JPEG"),
                             Mark("attic.jpg", 0.1f, 0.1f, "garden.mpg"),
                             Mark("garden.mpg", 0.1f, 0.1f, "hall.jpg")});
  const std::vector<MapProblem> problems = CheckMap(map);
  // The garden is reached from nowhere but the attic, which is not reached itself.
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_EQ(Kinds(problems),
            (std::vector<ProblemKind>{ProblemKind::Unreachable, ProblemKind::Unreachable}));
  EXPECT_EQ(problems[0].file, "attic.jpg");
  EXPECT_EQ(problems[1].file, "garden.mpg");
  EXPECT_FALSE(problems[0].markIndex);

  const std::vector<MapProblem> none = CheckMap(ClipMap{}, "empty.clm");
  ASSERT_EQ(none.size(), 1u);
  EXPECT_EQ(none[0].kind, ProblemKind::NoMarks);
  EXPECT_EQ(FormatProblem(none[0]), "Map has no marks: empty.clm");
}

TEST_F(MapCheckTest, FindsSeveralProblemsOfOneMarkAtOnce) {
  const ClipMap map = MapOf(
      {Mark("hall.jpg", 0.5f, 0.5f, "kitchen.JPEG"), Mark("hall.jpg", 0.5f, 0.5f, "lost.jpg"),
       Mark("hall.jpg", 2.0f, 0.5f, "lost.jpg"), Mark("kitchen.JPEG", 0.5f, 0.5f, "hall.jpg")});
  const std::vector<MapProblem> problems = CheckMap(map);
  EXPECT_EQ(Kinds(problems),
            (std::vector<ProblemKind>{ProblemKind::MissingFile, ProblemKind::SamePlace,
                                      ProblemKind::MissingFile, ProblemKind::OutsideClip}));
  EXPECT_EQ(problems.back().markIndex, 2u);
}

TEST_F(MapCheckTest, OnlyMissingOrUnreadableClipsStopACommandLinePackage) {
  test::WriteJpeg("broken.jpg", 32, 32);
  test::DamageFrameHeader("broken.jpg");
  const ClipMap map = MapOf({Mark("hall.jpg", 0.5f, 0.5f, "broken.jpg"),
                             Mark("hall.jpg", 5.0f, 0.5f, "kitchen.jpg"),
                             Mark("attic.jpg", 0.5f, 0.5f, "hall.jpg")});
  const std::vector<MapProblem> stoppers = ProblemsStoppingPackage(map);
  ASSERT_EQ(stoppers.size(), 2u);
  EXPECT_EQ(stoppers[0].file, "kitchen.jpg");
  EXPECT_EQ(stoppers[1].file, "attic.jpg");
  EXPECT_EQ(FormatProblem(stoppers[0]).rfind("File not found: kitchen.jpg", 0), 0u);
}

TEST_F(MapCheckTest, AMissingClipNamesTheFileRelinkWouldUse) {
  std::filesystem::create_directories("moved/rooms");
  test::WriteJpeg("moved/rooms/hall.jpg", 64, 48);
  const std::string map = folder_.Path() + "/moved/tour.clm";
  const ClipMap marks = MapOf({Mark("/old/tour/rooms/hall.jpg", 0.5f, 0.5f, "/old/gone.jpg")});
  const std::vector<MapProblem> problems = CheckMap(marks, map);
  ASSERT_EQ(Kinds(problems),
            (std::vector<ProblemKind>{ProblemKind::MissingFile, ProblemKind::MissingFile}));
  EXPECT_EQ(problems[0].relinkFile, folder_.Path() + "/moved/rooms/hall.jpg");
  EXPECT_NE(FormatProblem(problems[0]).find(" - found beside the map: " + folder_.Path() +
                                            "/moved/rooms/hall.jpg"),
            std::string::npos);
  EXPECT_EQ(problems[1].relinkFile, "");
  EXPECT_EQ(FormatProblem(problems[1]).find("found beside"), std::string::npos);
  // Without a map file there is no folder to search.
  EXPECT_EQ(CheckMap(marks)[0].relinkFile, "");
}

TEST_F(MapCheckTest, ThePackageQuestionListsTenProblemsAndCountsTheRest) {
  ClipMap map;
  for (int k = 0; k < 12; ++k)
    map.Append(Mark("hall.jpg", 0.01f * k, 0.5f, "lost" + std::to_string(k) + ".jpg"));
  const std::vector<MapProblem> problems = CheckMap(map);
  ASSERT_EQ(problems.size(), 12u);
  const std::string question = PackageQuestion(problems);
  EXPECT_EQ(question.rfind("The map check found 12 problems:\n", 0), 0u);
  EXPECT_NE(question.find("lost9.jpg"), std::string::npos);
  EXPECT_EQ(question.find("lost10.jpg"), std::string::npos);
  EXPECT_EQ(question.find("lost11.jpg"), std::string::npos);
  EXPECT_NE(question.find("... and 2 more."), std::string::npos);
  EXPECT_EQ(question.substr(question.size() - 26), "\n\nMake the package anyway?");
}

TEST(ClipGraphTest, NodesInFirstUseOrderAndLinksWithoutTargetsLeftOut) {
  const ClipMap map = MapOf({Mark("a.jpg", 0, 0, "b.jpg"), Mark("b.jpg", 0, 0, ""),
                             Mark("b.jpg", 0, 0, "a.jpg"), Mark("c.jpg", 0, 0, "c.jpg")});
  const ClipGraph graph(map);
  EXPECT_EQ(graph.Clips(), (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg"}));
  ASSERT_EQ(graph.Links().size(), 3u);
  EXPECT_EQ(graph.Links()[1].markIndex, 2u);
  EXPECT_EQ(graph.Reachable(), (std::vector<bool>{true, true, false}));
}

}  // namespace
}  // namespace mw
