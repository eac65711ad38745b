// SPDX-License-Identifier: MIT
// tavrino_key_target [--grab-escape] --output FILE
//
// A plain Xlib window that takes keys as X toolkits do, for the tests of
// doubled keys: it writes what it received to FILE, one line per field (Tab
// ends a field), and a last line "autorepeat N": the number of key presses
// that were the very next event after the release of their own keycode, with
// the same server time. X toolkits (LibreOffice's X11 backend, Xt, Qt) look
// at the event after a release and take such a pair for the autorepeat of a
// held key; some drop a press then, so "school" arrives as "schol".
// Esc is written as "{ESC}". Ctrl+Q closes it; once shown it prints
// "window 0x<id>" on standard output. --grab-escape grabs the Escape key on
// the root window first, with any modifiers, as some desktops do.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

void append_utf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xc0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3f));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xe0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (c & 0x3f));
  } else {
    out += static_cast<char>(0xf0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3f));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (c & 0x3f));
  }
}

}  // namespace

int main(int argc, char** argv) {
  const bool grab_escape = argc == 4 && std::strcmp(argv[1], "--grab-escape") == 0;
  const char* const output = argv[argc - 1];
  if (argc != 3 + (grab_escape ? 1 : 0) || std::strcmp(argv[argc - 2], "--output") != 0) {
    std::fputs("usage: tavrino_key_target [--grab-escape] --output FILE\n", stderr);
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 1;
  if (grab_escape) {
    XGrabKey(display, XKeysymToKeycode(display, XK_Escape), AnyModifier, DefaultRootWindow(display),
             1, GrabModeAsync, GrabModeAsync);
  }
  const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 300, 100, 0,
                                            0, WhitePixel(display, DefaultScreen(display)));
  XStoreName(display, window, "tavrino key target");
  XWMHints hints{};
  hints.flags = InputHint;
  hints.input = 1;
  XSetWMHints(display, window, &hints);
  XSelectInput(display, window, KeyPressMask | KeyReleaseMask | StructureNotifyMask);
  XMapWindow(display, window);
  XEvent event;
  do {
    XNextEvent(display, &event);
  } while (event.type != MapNotify);
  XSetInputFocus(display, window, RevertToParent, CurrentTime);
  XSync(display, 0);
  std::printf("window 0x%lx\n", window);
  std::fflush(stdout);

  std::vector<std::string> fields(1);
  long repeats = 0;
  // The event before this one, for the autorepeat test.
  bool last_was_release = false;
  unsigned last_keycode = 0;
  Time last_time = 0;
  for (;;) {
    XNextEvent(display, &event);
    if (event.type != KeyPress && event.type != KeyRelease) {
      last_was_release = false;
      continue;
    }
    const XKeyEvent& key = event.xkey;
    const bool press = event.type == KeyPress;
    if (press && last_was_release && key.keycode == last_keycode && key.time == last_time) {
      ++repeats;
    }
    last_was_release = !press;
    last_keycode = key.keycode;
    last_time = key.time;
    if (!press) continue;

    char buffer[16];
    KeySym keysym = NoSymbol;
    XKeyEvent copy = key;
    XLookupString(&copy, buffer, sizeof buffer, &keysym, nullptr);
    if ((key.state & ControlMask) != 0 && (keysym == XK_q || keysym == XK_Q)) break;
    if (keysym == XK_Tab || keysym == XK_ISO_Left_Tab) {
      fields.emplace_back();
      continue;
    }
    if (keysym == XK_Escape) {
      fields.back() += "{ESC}";
      continue;
    }
    const std::uint32_t c = xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(keysym));
    if (c >= 0x20 && c != 0x7f) append_utf8(fields.back(), c);
  }

  std::FILE* out = std::fopen(output, "w");
  if (out == nullptr) return 1;
  for (const std::string& field : fields) std::fprintf(out, "%s\n", field.c_str());
  std::fprintf(out, "autorepeat %ld\n", repeats);
  std::fclose(out);
  XCloseDisplay(display);
  return 0;
}
