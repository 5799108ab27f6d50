#include "packer/x11_notice.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <dlfcn.h>

#include <algorithm>
#include <vector>

#include "packer/x11_text_layout.h"

namespace mw::packer {
namespace {

// The functions of the X library the window uses, found in the library loaded at run time.
struct XLibrary {
  void* handle = nullptr;
#define MW_X(name) decltype(&::name) name = nullptr
  MW_X(XOpenDisplay);
  MW_X(XCloseDisplay);
  MW_X(XDefaultScreen);
  MW_X(XRootWindow);
  MW_X(XDisplayWidth);
  MW_X(XDisplayHeight);
  MW_X(XBlackPixel);
  MW_X(XWhitePixel);
  MW_X(XCreateSimpleWindow);
  MW_X(XDestroyWindow);
  MW_X(XStoreName);
  MW_X(XSelectInput);
  MW_X(XMapRaised);
  MW_X(XNextEvent);
  MW_X(XInternAtom);
  MW_X(XSetWMProtocols);
  MW_X(XSetWMNormalHints);
  MW_X(XCreateGC);
  MW_X(XFreeGC);
  MW_X(XSetForeground);
  MW_X(XSetFont);
  MW_X(XLoadQueryFont);
  MW_X(XFreeFont);
  MW_X(XTextWidth);
  MW_X(XDrawString);
  MW_X(XDrawRectangle);
  MW_X(XFillRectangle);
  MW_X(XClearWindow);
  MW_X(XLookupKeysym);
#undef MW_X

  bool Load() {
    handle = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (!handle) return false;
    bool found = true;
    auto find = [&](auto& function, const char* name) {
      function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(handle, name));
      found = found && function != nullptr;
    };
#define MW_FIND(name) find(name, #name)
    MW_FIND(XOpenDisplay), MW_FIND(XCloseDisplay), MW_FIND(XDefaultScreen);
    MW_FIND(XRootWindow), MW_FIND(XDisplayWidth), MW_FIND(XDisplayHeight);
    MW_FIND(XBlackPixel), MW_FIND(XWhitePixel), MW_FIND(XCreateSimpleWindow);
    MW_FIND(XDestroyWindow), MW_FIND(XStoreName), MW_FIND(XSelectInput), MW_FIND(XMapRaised);
    MW_FIND(XNextEvent), MW_FIND(XInternAtom), MW_FIND(XSetWMProtocols);
    MW_FIND(XSetWMNormalHints), MW_FIND(XCreateGC), MW_FIND(XFreeGC), MW_FIND(XSetForeground);
    MW_FIND(XSetFont), MW_FIND(XLoadQueryFont), MW_FIND(XFreeFont), MW_FIND(XTextWidth);
    MW_FIND(XDrawString), MW_FIND(XDrawRectangle), MW_FIND(XFillRectangle);
    MW_FIND(XClearWindow), MW_FIND(XLookupKeysym);
#undef MW_FIND
    return found;
  }
  ~XLibrary() {
    if (handle) dlclose(handle);
  }
};

constexpr int kMargin = 16;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 28;
constexpr int kMaxTextWidth = 560;

// The window's state: its lines, how far they are scrolled, where its parts lie.
struct Notice {
  Notice(const XLibrary& library, Display* opened) : x(library), display(opened) {}

  const XLibrary& x;
  Display* display = nullptr;
  Window window = 0;
  GC gc = nullptr;
  XFontStruct* font = nullptr;
  std::vector<std::string> lines;
  int line_height = 0;
  int visible_lines = 0;
  int first_line = 0;
  int width = 0;
  int height = 0;
  // A press counts only with its release, both seen by this window: a stray release or
  // press meant for a window before it does not close it.
  bool key_down = false;
  bool button_down = false;

  int TextWidth(const std::string& text) const {
    return x.XTextWidth(font, text.data(), static_cast<int>(text.size()));
  }
  int ButtonX() const { return width - kMargin - kButtonWidth; }
  int ButtonY() const { return height - kMargin - kButtonHeight; }
  bool OnButton(int px, int py) const {
    return px >= ButtonX() && px < ButtonX() + kButtonWidth && py >= ButtonY() &&
           py < ButtonY() + kButtonHeight;
  }
  void Scroll(int by) {
    const int last_first = std::max(0, static_cast<int>(lines.size()) - visible_lines);
    first_line = std::clamp(first_line + by, 0, last_first);
  }
};

// Lays out the text for the screen: wrapped to a readable width, as many lines as fit.
void LayOut(Notice& n, const std::string& text, int screen_width, int screen_height) {
  const int text_width = std::min(kMaxTextWidth, screen_width - 4 * kMargin);
  n.lines = WrapText(text, text_width, [&](const std::string& s) { return n.TextWidth(s); });
  n.line_height = n.font->ascent + n.font->descent + 2;
  const int room = screen_height - 4 * kMargin - kButtonHeight - kMargin;
  n.visible_lines = std::max(1, std::min(static_cast<int>(n.lines.size()), room / n.line_height));
  int widest = kButtonWidth;
  for (const std::string& line : n.lines) widest = std::max(widest, n.TextWidth(line));
  n.width = widest + 2 * kMargin;
  n.height = n.visible_lines * n.line_height + 3 * kMargin + kButtonHeight;
}

void Draw(const Notice& n) {
  const XLibrary& x = n.x;
  const int screen = x.XDefaultScreen(n.display);
  x.XClearWindow(n.display, n.window);
  x.XSetForeground(n.display, n.gc, x.XBlackPixel(n.display, screen));
  const int end = std::min(static_cast<int>(n.lines.size()), n.first_line + n.visible_lines);
  for (int i = n.first_line; i < end; ++i) {
    const std::string& line = n.lines[static_cast<std::size_t>(i)];
    const int y = kMargin + (i - n.first_line) * n.line_height + n.font->ascent;
    x.XDrawString(n.display, n.window, n.gc, kMargin, y, line.data(),
                  static_cast<int>(line.size()));
  }
  x.XDrawRectangle(n.display, n.window, n.gc, n.ButtonX(), n.ButtonY(), kButtonWidth - 1,
                   kButtonHeight - 1);
  const std::string ok = "OK";
  const int text_x = n.ButtonX() + (kButtonWidth - n.TextWidth(ok)) / 2;
  const int text_y = n.ButtonY() + (kButtonHeight + n.font->ascent - n.font->descent) / 2;
  x.XDrawString(n.display, n.window, n.gc, text_x, text_y, ok.data(), 2);
}

bool IsClosingKey(KeySym key) {
  return key == XK_Return || key == XK_KP_Enter || key == XK_Escape || key == XK_space;
}

// The lines a key scrolls by; 0 for other keys.
int ScrollStep(const Notice& n, KeySym key) {
  switch (key) {
    case XK_Up:
      return -1;
    case XK_Down:
      return 1;
    case XK_Prior:
      return -n.visible_lines;
    case XK_Next:
      return n.visible_lines;
    default:
      return 0;
  }
}

// Handles a key; false once the window is to close.
bool HandleKey(Notice& n, XKeyEvent& event, bool pressed) {
  const KeySym key = n.x.XLookupKeysym(&event, 0);
  if (IsClosingKey(key)) {
    if (!pressed) return !n.key_down;
    n.key_down = true;
  } else if (const int step = pressed ? ScrollStep(n, key) : 0; step != 0) {
    n.Scroll(step);
    Draw(n);
  }
  return true;
}

// Handles a pointer button; false once the window is to close.
bool HandleButton(Notice& n, const XButtonEvent& event, bool pressed) {
  if (pressed && (event.button == Button4 || event.button == Button5)) {
    n.Scroll(event.button == Button4 ? -3 : 3);
    Draw(n);
  }
  if (event.button != Button1) return true;
  const bool on_button = n.OnButton(event.x, event.y);
  if (pressed) {
    n.button_down = on_button;
    return true;
  }
  return !(n.button_down && on_button);
}

// Handles one event; false once the window is to close.
bool Handle(Notice& n, XEvent& event, Atom close_atom) {
  switch (event.type) {
    case Expose:
      if (event.xexpose.count == 0) Draw(n);
      return true;
    case ButtonPress:
    case ButtonRelease:
      return HandleButton(n, event.xbutton, event.type == ButtonPress);
    case KeyPress:
    case KeyRelease:
      return HandleKey(n, event.xkey, event.type == KeyPress);
    case ClientMessage:
      return static_cast<Atom>(event.xclient.data.l[0]) != close_atom;
    default:
      return true;
  }
}

// Makes the window, centred and of a fixed size, and asks to be told of its close button.
Atom OpenWindow(Notice& n, const std::string& title) {
  const XLibrary& x = n.x;
  const int screen = x.XDefaultScreen(n.display);
  const int left = (x.XDisplayWidth(n.display, screen) - n.width) / 2;
  const int top = (x.XDisplayHeight(n.display, screen) - n.height) / 2;
  n.window = x.XCreateSimpleWindow(n.display, x.XRootWindow(n.display, screen), left, top,
                                   static_cast<unsigned>(n.width), static_cast<unsigned>(n.height),
                                   1, x.XBlackPixel(n.display, screen),
                                   x.XWhitePixel(n.display, screen));
  XSizeHints hints{};
  hints.flags = PPosition | PMinSize | PMaxSize;
  hints.x = left;
  hints.y = top;
  hints.min_width = hints.max_width = n.width;
  hints.min_height = hints.max_height = n.height;
  x.XSetWMNormalHints(n.display, n.window, &hints);
  x.XStoreName(n.display, n.window, title.c_str());
  Atom close_atom = x.XInternAtom(n.display, "WM_DELETE_WINDOW", False);
  x.XSetWMProtocols(n.display, n.window, &close_atom, 1);
  x.XSelectInput(n.display, n.window,
                 ExposureMask | KeyPressMask | KeyReleaseMask | ButtonPressMask |
                     ButtonReleaseMask);
  n.gc = x.XCreateGC(n.display, n.window, 0, nullptr);
  x.XSetFont(n.display, n.gc, n.font->fid);
  x.XMapRaised(n.display, n.window);
  return close_atom;
}

}  // namespace

bool ShowX11Notice(const std::string& title, const std::string& text) {
  XLibrary x;
  if (!x.Load()) return false;
  Display* display = x.XOpenDisplay(nullptr);
  if (!display) return false;
  Notice n(x, display);
  n.font = x.XLoadQueryFont(display, "fixed");
  if (!n.font) n.font = x.XLoadQueryFont(display, "*");
  if (n.font) {
    const int screen = x.XDefaultScreen(display);
    LayOut(n, text, x.XDisplayWidth(display, screen), x.XDisplayHeight(display, screen));
    const Atom close_atom = OpenWindow(n, title);
    XEvent event;
    do {
      x.XNextEvent(display, &event);
    } while (Handle(n, event, close_atom));
    x.XFreeGC(display, n.gc);
    x.XDestroyWindow(display, n.window);
    x.XFreeFont(display, n.font);
  }
  x.XCloseDisplay(display);
  return n.font != nullptr;
}

}  // namespace mw::packer
