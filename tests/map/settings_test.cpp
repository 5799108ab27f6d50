// The settings file and the default map path, in the current directory.
#include "map/settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "temp_folder.h"

namespace mw {
namespace {

using test::ReadText;
using test::TempFolder;
using test::WriteText;

// Runs each test inside a fresh current directory.
class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(folder_.Path());
    here_ = std::filesystem::current_path().string();
  }
  void TearDown() override { std::filesystem::current_path(previous_); }

  TempFolder folder_;
  std::filesystem::path previous_;
  std::string here_;
};

TEST_F(SettingsTest, MissingFileIsCreatedNamingTheDefaultMap) {
  EXPECT_EQ(DefaultMapPath(), here_ + "/map1.clm");
  EXPECT_EQ(ReadSettings(), here_ + "/map1.clm");
  EXPECT_EQ(ReadText("markweaver.ini"), here_ + "/map1.clm\r\n");
}

TEST_F(SettingsTest, EmptyOrBlankFirstLineGivesTheDefaultAndLeavesTheFile) {
  for (const char* text : {"", "   \r\n", "\r\nsecond line\r\n"}) {
    WriteText("markweaver.ini", text);
    EXPECT_EQ(ReadSettings(), here_ + "/map1.clm");
    EXPECT_EQ(ReadText("markweaver.ini"), text);
  }
}

TEST_F(SettingsTest, FirstLineIsUsedWithoutTrailingBlanks) {
  WriteText("markweaver.ini", "/maps/tour.clm   \r\n/other.clm\r\n");
  EXPECT_EQ(ReadSettings(), "/maps/tour.clm");
  ASSERT_TRUE(WriteSettingsFile("/maps/new.clm"));
  EXPECT_EQ(ReadText("markweaver.ini"), "/maps/new.clm\r\n");
}

TEST_F(SettingsTest, FollowsTheCurrentDirectory) {
  std::filesystem::create_directory("sub");
  std::filesystem::current_path("sub");
  ASSERT_TRUE(WriteSettingsFile("/x.clm"));
  EXPECT_EQ(ReadText(here_ + "/sub/markweaver.ini"), "/x.clm\r\n");
  EXPECT_FALSE(std::filesystem::exists(here_ + "/markweaver.ini"));
  EXPECT_EQ(DefaultMapPath(), here_ + "/sub/map1.clm");
}

TEST_F(SettingsTest, PathWithALineFeedIsNotWritten) {
  WriteText("markweaver.ini", "/old.clm\r\n");
  EXPECT_FALSE(WriteSettingsFile("/a\nb.clm"));
  EXPECT_EQ(ReadText("markweaver.ini"), "/old.clm\r\n");
}

}  // namespace
}  // namespace mw
