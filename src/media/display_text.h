#pragma once
// Texts of a map shown on screen: a message can be megabytes long in a damaged or
// hostile map, and laying it out would stall the window.

#include <QString>
#include <cstddef>
#include <string_view>

namespace mw {

// The longest part of a map text that is shown, in bytes.
inline constexpr std::size_t kLongestShownText = 2000;

// `text` (8-bit, as the map holds it) for display: at most `limit` bytes of it, cut
// between characters, with "…" when something was cut.
QString TextForDisplay(std::string_view text, std::size_t limit = kLongestShownText);

}  // namespace mw
