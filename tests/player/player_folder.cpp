#include "player_folder.h"

#include <filesystem>
#include <fstream>

#include "jpeg_fixtures.h"

namespace mw::test {

ClickerMark Mark(const std::string& clip, float x, float y, int size, const std::string& next,
                 const std::string& hint) {
  ClickerMark mark;
  mark.Clip = clip;
  mark.X = x;
  mark.Y = y;
  mark.Size = size;
  mark.NextClip = next;
  mark.Hint = hint;
  return mark;
}

std::vector<ClickerMark> TourMarks() {
  return {Mark(kHall, 0.75f, 0.5f, 20, kMovie, "Watch the movie"),
          Mark(kHall, 0.25f, 0.5f, 20, kKitchen, "Go to the kitchen"),
          Mark(kKitchen, 0.5f, 0.8f, 30, kHall, "Back to the hall"),
          Mark(kMovie, 0.5f, 0.5f, 40, kKitchen, "On to the kitchen")};
}

PlayerFolder::PlayerFolder() : path_(dir_.path().toStdString()) {}

void PlayerFolder::WriteMap(const std::vector<ClickerMark>& marks, WindowSize size) {
  WriteText("mwRun", FormatMap(size, marks));
}

void PlayerFolder::AddTourClips() {
  for (const char* name : {kHall, kKitchen, kMovie}) AddTourClip(name);
}

void PlayerFolder::AddTourClip(const std::string& name) {
  if (name == kHall) WriteJpeg(File(kHall), 320, 240);
  if (name == kKitchen) WriteJpeg(File(kKitchen), 200, 100, true);
  if (name == kMovie)
    std::filesystem::copy_file(std::string(MW_TEST_DATA_DIR) + "/media/rgb.mpg", File(kMovie));
}

void PlayerFolder::MakeTour() {
  AddTourClips();
  WriteMap(TourMarks());
}

void PlayerFolder::WriteText(const std::string& name, const std::string& content) {
  std::ofstream(File(name), std::ios::binary | std::ios::trunc) << content;
}

}  // namespace mw::test
