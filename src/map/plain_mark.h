#pragma once
// The quick reading of a plain mark: nine lines, each ending with a line feed, whose
// five number lines hold plain numbers. Nearly every mark of a saved map is one.

#include <cstddef>
#include <string_view>

#include "map/clicker_mark.h"

namespace mw {

// Reads the plain mark starting at `at` in `text` into `mark`, its texts pointing
// into `text`, and gives where the mark ends. Gives 0 and leaves `mark` as it was
// when the mark there is not plain; reading it line by line then gives the mark.
// What it reads is what the line-by-line reading of that mark gives.
std::size_t ReadPlainMark(std::string_view text, std::size_t at, ClickerMark& mark);

}  // namespace mw
