// SPDX-License-Identifier: MIT
#include "platform/x11/typing_display.h"

#include <cstdlib>
#include <string>

#include "base/text.h"
#include "platform/x11/xlib.h"

namespace tavrino {

namespace {

const std::u16string kSessionHint = u" Loading and viewing data files works without one.";

// What `display` lacks for typing, as a failure; a success when it has all.
Status check_extensions(Display* display, const std::u16string& display_name, int& xkb_event_base) {
  int event_base = 0, error_base = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(display, &event_base, &error_base, &major, &minor)) {
    return Status::failure(u"Typing needs the XTEST extension, which the X server of display " +
                           display_name + u" does not offer.");
  }
  int opcode = 0;
  major = XkbMajorVersion;
  minor = XkbMinorVersion;
  if (!XkbQueryExtension(display, &opcode, &xkb_event_base, &error_base, &major, &minor)) {
    return Status::failure(u"Typing needs the XKEYBOARD extension, which the X server of display " +
                           display_name + u" does not offer.");
  }
  return Status::success();
}

}  // namespace

Status open_typing_display(XErrors& errors, TypingDisplay& opened) {
  const char* name = std::getenv("DISPLAY");
  if (name == nullptr || *name == '\0') {
    return Status::failure(u"Typing needs an X11 session (none was found: DISPLAY is not set)." +
                           kSessionHint);
  }
  const std::u16string display_name = utf8_to_utf16(name);
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    return Status::failure(u"Typing needs an X11 session (none was found: cannot open display " +
                           display_name + u")." + kSessionHint);
  }
  catch_connection_loss(display, errors);
  Status status = Status::success();
  {
    ErrorTrap trap(display, errors);
    status = check_extensions(display, display_name, opened.xkb_event_base);
    // Another program's server grab must not hold our keystrokes back.
    if (status) XTestGrabControl(display, 1);
  }
  if (!status) {
    XCloseDisplay(display);
    return status;
  }
  opened.display = display;
  return status;
}

}  // namespace tavrino
