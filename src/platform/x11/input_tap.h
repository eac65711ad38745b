// SPDX-License-Identifier: MIT
// Every key and button event of every input device, as the X server handles
// them (XInput 2 raw events), on the keyboard's own connection: the
// playback's keys (from the XTEST device) and the user's, in one order. A
// raw event comes whatever window has the focus and whoever has grabbed the
// keyboard. See typing_watch.h for what the order tells.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

union _XEvent;
struct _XDisplay;

namespace tavrino {

struct RawInput {
  enum class Kind : std::uint8_t { key_press, key_release, button_press };
  Kind kind = Kind::key_press;
  unsigned detail = 0;  // the keycode, or the button
  bool xtest = false;   // from an XTEST device, which fakes input
};

class InputTap {
 public:
  InputTap() = default;
  InputTap(const InputTap&) = delete;
  InputTap& operator=(const InputTap&) = delete;

  // Asks for the raw events on `display`. False when the server has no
  // XInput 2.1; the tap then reports nothing.
  bool start(_XDisplay* display);
  // Stops asking. Nothing without a start().
  void stop();
  bool started() const { return display_ != nullptr; }

  // The input `event` reports, when it is one of the tap's raw events.
  std::optional<RawInput> read(_XEvent& event) const;

  // The keycodes that the XTEST keyboard of `display` holds down now
  // (XInput 1's device state): keys a faking program pressed and never
  // released. None when the server does not say.
  static std::vector<unsigned> xtest_keys_down(_XDisplay* display);

 private:
  _XDisplay* display_ = nullptr;
  int opcode_ = 0;
  std::vector<int> xtest_devices_;  // the XTEST keyboard and pointer
};

}  // namespace tavrino
