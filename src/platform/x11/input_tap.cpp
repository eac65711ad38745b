// SPDX-License-Identifier: MIT
#include "platform/x11/input_tap.h"

#include <algorithm>
#include <cstring>

#include "platform/x11/xlib.h"

namespace tavrino {

namespace {

// The XTEST devices: slaves named after their master, "Virtual core XTEST
// keyboard" and "Virtual core XTEST pointer"; keyboards only if asked.
std::vector<int> xtest_devices(Display* display, bool keyboards_only) {
  std::vector<int> found;
  int count = 0;
  XIDeviceInfo* devices = XIQueryDevice(display, XIAllDevices, &count);
  for (int i = 0; i < count; ++i) {
    const XIDeviceInfo& device = devices[i];
    const bool wanted =
        device.use == XISlaveKeyboard || (!keyboards_only && device.use == XISlavePointer);
    if (wanted && device.name != nullptr && std::strstr(device.name, " XTEST ") != nullptr) {
      found.push_back(device.deviceid);
    }
  }
  if (devices != nullptr) XIFreeDeviceInfo(devices);
  return found;
}

bool has_xinput2(Display* display, int& opcode) {
  int event = 0, error = 0;
  if (!XQueryExtension(display, "XInputExtension", &opcode, &event, &error)) return false;
  // From 2.1 on, raw events come also while another program has grabbed
  // the keyboard: the keys that went to it are the ones to know about.
  int major = 2, minor = 2;
  return XIQueryVersion(display, &major, &minor) == 0 && (major > 2 || minor >= 1);
}

}  // namespace

bool InputTap::start(Display* display) {
  if (!has_xinput2(display, opcode_)) return false;
  xtest_devices_ = xtest_devices(display, false);

  unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
  XISetMask(bits, XI_RawKeyPress);
  XISetMask(bits, XI_RawKeyRelease);
  XISetMask(bits, XI_RawButtonPress);
  // On the masters, so that each event comes once, with the slave it came
  // from as its source.
  XIEventMask mask{XIAllMasterDevices, sizeof bits, bits};
  XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
  display_ = display;
  return true;
}

void InputTap::stop() {
  if (display_ == nullptr) return;
  unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
  XIEventMask mask{XIAllMasterDevices, sizeof bits, bits};
  XISelectEvents(display_, DefaultRootWindow(display_), &mask, 1);
  display_ = nullptr;
}

std::optional<RawInput> InputTap::read(XEvent& event) const {
  if (display_ == nullptr || event.type != GenericEvent || event.xcookie.extension != opcode_) {
    return std::nullopt;
  }
  if (!XGetEventData(display_, &event.xcookie)) return std::nullopt;
  std::optional<RawInput> input;
  const auto* raw = static_cast<const XIRawEvent*>(event.xcookie.data);
  const bool xtest = std::find(xtest_devices_.begin(), xtest_devices_.end(), raw->sourceid) !=
                     xtest_devices_.end();
  switch (event.xcookie.evtype) {
    case XI_RawKeyPress:
      input = RawInput{RawInput::Kind::key_press, static_cast<unsigned>(raw->detail), xtest};
      break;
    case XI_RawKeyRelease:
      input = RawInput{RawInput::Kind::key_release, static_cast<unsigned>(raw->detail), xtest};
      break;
    case XI_RawButtonPress:
      input = RawInput{RawInput::Kind::button_press, static_cast<unsigned>(raw->detail), xtest};
      break;
    default:
      break;
  }
  XFreeEventData(display_, &event.xcookie);
  return input;
}

std::vector<unsigned> InputTap::xtest_keys_down(Display* display) {
  std::vector<unsigned> down;
  int opcode = 0;
  if (!has_xinput2(display, opcode)) return down;
  const std::vector<int> keyboards = xtest_devices(display, true);
  if (keyboards.empty()) return down;
  XDevice* device = XOpenDevice(display, static_cast<XID>(keyboards.front()));
  if (device == nullptr) return down;
  if (XDeviceState* state = XQueryDeviceState(display, device)) {
    const XInputClass* item = state->data;
    for (int i = 0; i < state->num_classes; ++i) {
      if (item->c_class == KeyClass) {
        const auto* keys = reinterpret_cast<const XKeyState*>(item);
        for (int keycode = 0; keycode < keys->num_keys && keycode < 256; ++keycode) {
          if ((static_cast<unsigned char>(keys->keys[keycode / 8]) >> (keycode % 8)) & 1) {
            down.push_back(static_cast<unsigned>(keycode));
          }
        }
      }
      item =
          reinterpret_cast<const XInputClass*>(reinterpret_cast<const char*>(item) + item->length);
    }
    XFreeDeviceState(state);
  }
  XCloseDevice(display, device);
  return down;
}

}  // namespace tavrino
