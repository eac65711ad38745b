// SPDX-License-Identifier: MIT
// The seam to the platform's keystroke synthesis. A Keyboard opens one
// session per playback; the session supplies facts (where the focus is, what
// the user does to the keyboard meanwhile, whether the target has taken what
// was sent), looks keys up and sends them. Every rule of how typing proceeds
// (pacing, when to look, when to wait, when to stop, what is reported) is the
// playback's (typekeys.h), written once for every platform.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
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
    unknown,   // another program's window that the platform cannot name (a
               // Wayland session tells a program only about its own windows)
    none,      // no window has the focus
    own,       // a window of this program: the main window or one of its boxes
    other,     // another program's window, named by `window`
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

// Something the user or another program did to the keyboard in among the
// playback's own keys, so that what the target got from there on may not be
// what was sent.
struct Disturbance {
  enum class Kind : std::uint8_t {
    key,     // a key pressed on the keyboard went to the target, or a
             // modifier held there changed the playback's keys
    click,   // a mouse button was pressed (it may have moved the cursor)
    layout,  // the keyboard layout changed
    grab,    // another program took the keyboard (a menu, a launcher, a
             // screen lock), and keys went there instead
  };
  Kind kind = Kind::key;
  // How many of the session's events (counted over every send() so far)
  // had reached the target untouched before it: the first event it may
  // have changed is this one.
  std::size_t after = 0;
  // For key: the key, as a message names it ("Ctrl", "x", "F5").
  std::u16string key;
  bool operator==(const Disturbance&) const = default;
};

// What the session has seen of the keyboard since prepare().
struct KeyboardWatch {
  // How often the user pressed Esc (which the session keeps from the
  // target wherever the platform can).
  unsigned escapes = 0;
  // The modifier keys the user holds down now; the playback's own are not
  // among them.
  HeldKeys held;
  // Another program holds the keyboard now: keys sent would go there.
  bool grabbed = false;
  // The first disturbance seen, if any.
  std::optional<Disturbance> disturbed;
  // The window typed into was closed: it takes no more keys.
  bool target_gone = false;
  // Why the keyboard cannot go on at all (the connection to the display
  // was lost); empty while it can.
  std::u16string broken;
  bool operator==(const KeyboardWatch&) const = default;
};

// One playback's hold on the platform's keyboard. Destroying it ends the
// playback: it lets go of every key it still holds and gives back what
// prepare() changed, waiting at most a moment for the target; never fails.
class KeyboardSession {
 public:
  virtual ~KeyboardSession() = default;

  // Takes the desktop's one-playback-at-a-time lock; false while another
  // tavrino types. Asked first; nothing else is asked when it fails.
  virtual bool lock() = 0;

  // What has the keyboard focus now, once everything sent so far has been
  // handed to it.
  virtual Focus focus() = 0;

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

  // Gets ready to send `all_events`, the whole playback, into the window
  // that has the focus now: checks that it can type every one, prepares
  // what it needs (on X11: keys for the characters the layout lacks, Caps
  // Lock off) and starts to watch the keyboard. A failure means nothing is
  // sent.
  virtual Status prepare(std::span<const KeyEvent> all_events) = 0;

  // What has been seen of the keyboard so far. Cheap enough to ask before
  // every batch.
  virtual KeyboardWatch watch() = 0;

  // Hands `events` to the platform in order, without waiting for the target
  // to take them. Fewer delivered than given with a success means the
  // session stopped before event `delivered` because it must change what a
  // key means (a borrowed keycode), and the target must first take every key
  // sent so far (see ask_taken); the caller waits for that and sends the
  // rest again. Fewer with a failure means the platform refused, and
  // `status` says why.
  struct Sent {
    std::size_t delivered = 0;
    Status status = Status::success();
  };
  virtual Sent send(std::span<const KeyEvent> events) = 0;

  // Asks the target to say when it has taken every key sent so far. False
  // when this session can never tell (the target answers no such question):
  // the playback then paces itself and the session keeps whatever those
  // keys need until it can tell, or until it ends.
  virtual bool ask_taken() = 0;
  // How many of the questions the target has answered so far, in order
  // (an answer covers the questions before it). Waits at most `wait` for
  // one more answer.
  virtual std::size_t answers(std::chrono::milliseconds wait) = 0;

  // A short name for the target in a status line ("xterm", "LibreOffice
  // Calc"); empty when unknown.
  virtual std::u16string target_name() { return {}; }
};

class Keyboard {
 public:
  virtual ~Keyboard() = default;

  // Connects to the platform for one playback. On success `session` is set
  // and `status` is a success.
  struct Opened {
    std::unique_ptr<KeyboardSession> session;
    Status status = Status::success();
  };
  virtual Opened begin() = 0;
};

}  // namespace tavrino
