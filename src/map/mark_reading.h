#pragma once
// Reading the marks of a map's text; a large map is read on two threads.

#include <optional>
#include <string_view>
#include <vector>

#include "map/map_file.h"

namespace mw {

// Reads every mark from the reader's position to the end of `text`. Their texts point
// into `text`, which the map that takes them must keep. Only a mark cut off by the
// end of the text is dropped. Gives nothing for a text whose marks are cut short by
// lines that are no numbers more than a thousand times and for more than one mark in
// eight: that is no map, and its marks would take memory many times its size.
std::optional<std::vector<ClickerMark>> ReadMarksInMapText(std::string_view text,
                                                          MapLineReader& reader);

}  // namespace mw
