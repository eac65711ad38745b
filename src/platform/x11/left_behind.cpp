// SPDX-License-Identifier: MIT
#include "platform/x11/left_behind.h"

#include <unistd.h>

#include <algorithm>
#include <climits>

#include "platform/x11/display_lock.h"
#include "platform/x11/error_trap.h"
#include "platform/x11/input_tap.h"
#include "platform/x11/keymap.h"
#include "platform/x11/xlib.h"

namespace tavrino {

namespace {

Atom record_atom(Display* display) {
  return XInternAtom(display, "_TAVRINO_LEFT_BEHIND", 0);
}

}  // namespace

std::string this_host() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

std::optional<BorrowedRecord> read_left_behind(Display* display) {
  Atom type = 0;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  std::optional<BorrowedRecord> record;
  if (XGetWindowProperty(display, DefaultRootWindow(display), record_atom(display), 0, 65536, 0,
                         XA_STRING, &type, &format, &items, &after, &data) == Success &&
      data != nullptr && format == 8) {
    record = parse_record(std::string(reinterpret_cast<const char*>(data), items));
  }
  if (data != nullptr) XFree(data);
  return record;
}

void write_left_behind(Display* display, const BorrowedRecord& record) {
  const std::string text = record_text(record);
  XChangeProperty(display, DefaultRootWindow(display), record_atom(display), XA_STRING, 8,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(text.data()),
                  static_cast<int>(text.size()));
}

void clear_left_behind(Display* display) {
  XDeleteProperty(display, DefaultRootWindow(display), record_atom(display));
}

void give_back(Display* display, const BorrowedRecord& record) {
  const std::vector<unsigned> held = InputTap::xtest_keys_down(display);
  for (const unsigned keycode : record.down) {
    if (std::find(held.begin(), held.end(), keycode) != held.end()) {
      XTestFakeKeyEvent(display, keycode, 0, 0);
    }
  }
  ServerHold hold(display);
  std::vector<RemappedKeycode> keycodes = record.borrowed;
  std::vector<unsigned> numbers;
  for (const RemappedKeycode& keycode : keycodes) numbers.push_back(keycode.keycode);
  for (const KeycodeMapping& now : read_keycode_mappings(display, numbers)) {
    for (RemappedKeycode& keycode : keycodes) {
      if (keycode.keycode == now.keycode) keycode.now = now.symbols;
    }
  }
  write_keycode_mappings(display, plan_restore(keycodes));
  hold.release();
  clear_left_behind(display);
  XSync(display, 0);
}

void give_back_own_left_behind() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return;
  XErrors errors;
  catch_connection_loss(display, errors);
  {
    ErrorTrap trap(display, errors);
    const auto left = read_left_behind(display);
    DisplayLock lock;
    if (left && left->pid == getpid() && lock.take(display)) {
      give_back(display, *left);
      lock.release();
    }
    XSync(display, 0);
  }
  XCloseDisplay(display);
}

}  // namespace tavrino
