#pragma once
// What the virtual screen shows, read back from the X server, for tests that see what a
// person sees. No Qt: Xlib's names clash with Qt's.

namespace mw::test {

// Whether the screen of $DISPLAY shows the colour `rgb` (0xRRGGBB) anywhere within `reach`
// pixels of (x, y).
bool ScreenShowsColourNear(int x, int y, int reach, unsigned long rgb);

}  // namespace mw::test
