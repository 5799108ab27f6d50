#pragma once
// A message window of the self-extractor's own, drawn with the X library that every desktop
// has. The library is loaded only when the window is needed, so that the self-extractor
// itself needs nothing beyond the C library.

#include <string>

namespace mw::packer {

// Shows text (line breaks kept, long lines wrapped) in a window titled title on the display
// named by DISPLAY, centred on the screen, with an OK button; a text taller than the screen
// scrolls (wheel, arrow and page keys). Waits until the person closes it: OK, Enter, Escape
// or the window's close button. Returns false, having shown nothing, when the X library
// cannot be loaded or the display cannot be opened.
bool ShowX11Notice(const std::string& title, const std::string& text);

}  // namespace mw::packer
