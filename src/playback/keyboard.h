// SPDX-License-Identifier: MIT
// The seam to the platform's keystroke synthesis, and what the playback asks
// the platform before and during typing: where the focus is, which keys the
// user holds, and whether something happened that must stop the typing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/status.h"
#include "key_event.h"

namespace tavrino {

// What has the keyboard focus, as far as the platform can tell.
struct Focus {
  enum class Kind : std::uint8_t {
    unknown,  // another program's window that the platform cannot name (a
              // Wayland session tells a program only about its own windows)
    none,     // no window has the focus
    own,      // a window of this program: the main window or one of its boxes
    other,    // another program's window, named by `window`
    elevated,  // another program's window that keys sent from here do not reach:
               // it runs with higher rights (Windows drops the keys silently)
    secure,    // a desktop no program may type into: the lock screen, a UAC prompt
  };
  Kind kind = Kind::unknown;
  std::uint64_t window = 0;  // for other: the platform's id of that window
  bool operator==(const Focus&) const = default;
};

// A modifier key the user may be holding down.
enum class HeldKey : std::uint8_t { shift, ctrl, alt, altgr, super };
using HeldKeys = std::vector<HeldKey>;

// "Shift", "Shift and Ctrl", "Shift, Ctrl and Alt".
std::u16string held_keys_text(const HeldKeys& keys);

// Why a playback stopped before its end.
enum class StopReason : std::uint8_t {
  escape,          // the user pressed Esc
  focus_moved,     // the keyboard focus left the window typing started in
  layout_changed,  // the keyboard layout changed while typing
  quit,            // the program was closed or asked to quit
};

// How a message says why typing stopped: "Esc was pressed."
std::u16string stop_reason_text(StopReason reason);

class Keyboard {
 public:
  virtual ~Keyboard() = default;

  // Connects to the platform for one playback. After a failure nothing else
  // is called; after success end() always follows.
  virtual Status begin() = 0;

  // What has the keyboard focus now, once everything sent so far has been
  // delivered to it.
  virtual Focus focus() = 0;

  // The modifier keys the user holds down now; the keys the playback itself
  // presses are not among them.
  virtual HeldKeys held_keys() = 0;

  // One event that this keyboard cannot type at all, and why ("this
  // desktop's keyboard layout has no key for \"ö\"."): a sentence that
  // follows the entry's name in a message.
  struct Untypable {
    std::size_t event = 0;  // its index in the events asked about
    std::u16string reason;
  };
  // The first of `all_events` that cannot be typed, asked before prepare()
  // so that the message can name the entry it belongs to. Keyboards that
  // find out only in prepare() keep the default: nothing.
  virtual std::optional<Untypable> untypable(std::span<const KeyEvent> all_events) {
    (void)all_events;
    return std::nullopt;
  }

  // Gets ready to send `all_events`, the whole playback: checks that it can
  // type every one and prepares what it needs (on X11: the characters no key
  // has are mapped, Caps Lock is switched off, Esc is watched for). A
  // failure means nothing is sent.
  virtual Status prepare(std::span<const KeyEvent> all_events) = 0;

  // Something seen since prepare() that must stop the playback: Esc pressed
  // in any window, a change of keyboard layout. Nothing while all is well.
  virtual std::optional<StopReason> interruption() = 0;

  // Sends events in order to the window that has the keyboard focus. Returns
  // how many were delivered; fewer than given means failure, and `status`
  // says why.
  struct Sent {
    std::size_t delivered = 0;
    Status status = Status::success();
  };
  virtual Sent send(std::span<const KeyEvent> events) = 0;

  // Releases every key still down, waits until what was sent has been taken,
  // undoes what prepare() did and disconnects. Never fails.
  virtual void end() = 0;
};

}  // namespace tavrino
