#include "x_screen.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>

namespace mw::test {

bool ScreenShowsColourNear(int x, int y, int reach, unsigned long rgb) {
  Display* connection = XOpenDisplay(nullptr);
  if (!connection) return false;
  const int screen = DefaultScreen(connection);
  const int left = std::max(0, x - reach), top = std::max(0, y - reach);
  const int right = std::min(DisplayWidth(connection, screen), x + reach + 1);
  const int bottom = std::min(DisplayHeight(connection, screen), y + reach + 1);
  bool found = false;
  if (right > left && bottom > top) {
    XImage* image = XGetImage(connection, RootWindow(connection, screen), left, top,
                              static_cast<unsigned>(right - left),
                              static_cast<unsigned>(bottom - top), AllPlanes, ZPixmap);
    for (int row = 0; image && !found && row < bottom - top; ++row)
      for (int column = 0; !found && column < right - left; ++column)
        found = (XGetPixel(image, column, row) & 0xffffff) == rgb;
    if (image) XDestroyImage(image);
  }
  XCloseDisplay(connection);
  return found;
}

}  // namespace mw::test
