#pragma once
// Reading the marks of a map's text; a large map is read on two threads.

#include <string_view>
#include <vector>

#include "map/map_file.h"

namespace mw {

// Reads every mark from the reader's position to the end of `text`. Their texts point
// into `text`, which the map that takes them must keep. Only a mark cut off by the
// end of the text is dropped.
std::vector<ClickerMark> ReadMarksInMapText(std::string_view text, MapLineReader& reader);

}  // namespace mw
