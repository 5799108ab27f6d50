#pragma once
// A package folder as a package unpacks it, made by the player tests in a temporary
// folder: real JPEG photos, a real movie and the data file "mwRun".

#include <QTemporaryDir>
#include <string>
#include <vector>

#include "map/clicker_mark.h"
#include "map/map_file.h"

namespace mw::test {

// Names of the clips the folder can hold.
inline constexpr const char* kHall = "hall.jpg";
inline constexpr const char* kKitchen = "kitchen.jpg";
inline constexpr const char* kMovie = "rgb.mpg";

// A mark on `clip` centred at (x, y) of the clip area, `size` pixels to each side.
ClickerMark Mark(const std::string& clip, float x, float y, int size, const std::string& next,
                 const std::string& hint);

// The map the tests play, in a 640 x 480 window. In map order: on the hall, the mark at the
// right leads to the movie and the one at the left to the kitchen; the kitchen leads back
// to the hall; the movie leads to the kitchen.
std::vector<ClickerMark> TourMarks();

class PlayerFolder {
 public:
  PlayerFolder();

  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

  // Writes the data file for `marks` with the window size `size`.
  void WriteMap(const std::vector<ClickerMark>& marks, WindowSize size = {640, 480});
  // Writes the photos and copies the movie of the tour.
  void AddTourClips();
  // Writes the tour's clip `name` alone.
  void AddTourClip(const std::string& name);
  // The tour's clips and map.
  void MakeTour();
  // Writes `content` as the file `name`.
  void WriteText(const std::string& name, const std::string& content);

 private:
  QTemporaryDir dir_;
  std::string path_;
};

}  // namespace mw::test
