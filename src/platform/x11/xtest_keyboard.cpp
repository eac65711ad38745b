// SPDX-License-Identifier: MIT
#include "platform/x11/xtest_keyboard.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/text.h"
#include "platform/x11/borrowed_keys.h"
#include "platform/x11/display_lock.h"
#include "platform/x11/error_trap.h"
#include "platform/x11/focus_facts.h"
#include "platform/x11/focused_window.h"
#include "platform/x11/held_keys.h"
#include "platform/x11/keymap.h"
#include "platform/x11/left_behind.h"
#include "platform/x11/session_watch.h"
#include "platform/x11/typing_display.h"
#include "platform/x11/xtest_keys.h"
#include "platform/xkb/key_messages.h"
#include "platform/xkb/keysyms.h"
#include "platform/xkb/modifier_tracker.h"

#include "platform/x11/xlib.h"

namespace tavrino {

namespace {

using Clock = std::chrono::steady_clock;

// How long a session that ends waits for the target to handle keys sent on
// borrowed keycodes.
constexpr std::chrono::milliseconds kEndWait{1000};

}  // namespace

// One playback: the connection, what was remapped, what is held down, what
// is watched for, and the target's answers.
class XTestSession final : public KeyboardSession {
 public:
  explicit XTestSession(std::function<bool()> quit_requested)
      : quit_requested_(std::move(quit_requested)) {}
  XTestSession(const XTestSession&) = delete;
  XTestSession& operator=(const XTestSession&) = delete;
  ~XTestSession() override { finish(); }

  Status open();
  bool lock() override;
  Focus focus() override;
  Status prepare(std::span<const KeyEvent> all_events) override;
  KeyboardWatch watch() override;
  Sent send(std::span<const KeyEvent> events) override;
  bool ask_taken() override;
  std::size_t answers(std::chrono::milliseconds wait) override;
  std::u16string target_name() override { return watch_.target().name(); }

 private:
  // The session that is open in this process, which an exit() ends (Qt
  // calls exit() when its own X connection breaks).
  static inline XTestSession* live_ = nullptr;
  static void finish_live() {
    if (live_ != nullptr) live_->finish();
  }
  void finish();

  Status type(const KeyEvent& event, bool& must_wait);
  void read_locks();
  void switch_caps_lock_off();

  bool quit_requested() const { return quit_requested_ && quit_requested_(); }

  std::function<bool()> quit_requested_;
  Display* display_ = nullptr;
  XErrors errors_;
  int xkb_event_base_ = 0;
  DisplayLock lock_;

  Keymap keymap_;
  unsigned locked_ = 0;  // the locked modifiers the next keystroke meets
  bool caps_switched_off_ = false;
  ModifierTracker modifiers_;
  BorrowedKeys borrowed_;
  SessionWatch watch_;
  XTestKeys keys_;
  std::size_t events_ = 0;  // events sent so far
  std::size_t event_ = 0;   // the event being sent
  // The focus window last asked about, and what it is.
  unsigned long focus_window_ = 0;
  Focus focus_;
};

Status XTestSession::open() {
  TypingDisplay opened;
  if (Status status = open_typing_display(errors_, opened); !status) return status;
  display_ = opened.display;
  xkb_event_base_ = opened.xkb_event_base;
  ErrorTrap trap(display_, errors_);
  keys_.begin(display_, errors_,
              [this](unsigned keycode, bool down) { watch_.typing().sent(keycode, down, event_); });
  static const bool registered = std::atexit(&XTestSession::finish_live) == 0;
  (void)registered;
  live_ = this;
  return Status::success();
}

bool XTestSession::lock() {
  ErrorTrap trap(display_, errors_);
  if (!lock_.take(display_)) return false;
  borrowed_.keep_record(display_);
  // Nobody types now: what an earlier tavrino left behind (it was killed,
  // or its target had not handled its keys yet) goes back.
  if (const auto left = read_left_behind(display_)) give_back(display_, *left);
  return true;
}

Focus XTestSession::focus() {
  // Without a connection nothing new can be told; the next send() says why.
  if (errors_.lost) return focus_;
  XErrors errors;
  ErrorTrap trap(display_, errors);
  Window window = 0;
  int revert_to = 0;
  XGetInputFocus(display_, &window, &revert_to);
  if (errors.lost || errors_.lost) return focus_;
  // The same focus window belongs to the same program as before.
  if (window == focus_window_ && window != 0) return focus_;
  const FocusFacts facts = read_focus(display_);
  XSync(display_, 0);
  if (errors.lost || errors_.lost) return focus_;
  // A window that went away while it was looked at tells nothing.
  if (errors.serial != 0) return {};
  focus_window_ = window;
  keys_.set_focus_window(window);
  focus_ = classify_focus(facts, getpid(), this_host());
  return focus_;
}

// Caps Lock would turn the letters of the spare keycodes into capitals
// that may not exist (ß, µ), and a value could then fail halfway. Typing
// with it off types what was written either way; the user gets it back at
// the end.
void XTestSession::switch_caps_lock_off() {
  if ((keymap_.locked_modifiers() & keymap_.caps_lock_mask()) == 0) return;
  XkbLockModifiers(display_, XkbUseCoreKbd, keymap_.caps_lock_mask(), 0);
  caps_switched_off_ = true;
}

Status XTestSession::prepare(std::span<const KeyEvent> all_events) {
  ErrorTrap trap(display_, errors_);
  // Watched from before the layout is read, so that no change of it goes
  // unseen.
  XkbStateRec state{};
  XkbGetState(display_, XkbUseCoreKbd, &state);
  watch_.begin(display_, errors_, xkb_event_base_, state.group);
  if (Status status = keymap_.load(display_); !status) return status;
  modifiers_ =
      ModifierTracker({keymap_.shift(), keymap_.control(), keymap_.alt(), keymap_.level3()});
  for (const KeyEvent& event : all_events) {
    const bool modifier =
        event.type == KeyEvent::Type::press || event.type == KeyEvent::Type::release;
    if (modifier && modifiers_.key(event.modifier).keycode == 0) {
      return no_modifier_key(event.modifier);
    }
  }
  switch_caps_lock_off();
  read_locks();

  const SpareNeeds needs = plan_spare_needs(
      all_events, locked_, {ShiftMask, keymap_.caps_lock_mask(), keymap_.num_lock_mask()},
      [this](const KeyEvent& event, unsigned locked) {
        return keymap_.find(event, locked).has_value();
      });
  borrowed_.plan(display_, keymap_.spare_keycodes(), needs.uses);
  const SpareKeycodes& spare = borrowed_.spare();
  // The layout as typing begins, before any spare keycode changes.
  watch_.set_layout(keycode_set(spare.keycodes()));

  watch_.find_target();
  if (needs.first && spare.empty()) return no_free_keycode_for(all_events[*needs.first]);
  if (spare.batches_needed() > 1 && !watch_.target().answers_pings()) {
    const std::u16string name = watch_.target().name();
    return Status::failure(
        u"Nothing was typed: the values hold more characters that the keyboard layout lacks "
        u"than tavrino can give keys at once, and " +
        (name.empty() ? u"the program with the focus" : name) +
        u" cannot tell tavrino when it has read a key, so those keys cannot change meaning "
        u"safely. Type the values in two parts, or into a program that answers.");
  }
  watch_.start(keymap_.keycodes_with(XK_Escape), keymap_.group());
  const auto remap = needs.first ? borrowed_.map_next_batch(needs.uses.front().keysym)
                                 : BorrowedKeys::Remap::none;
  // A layout loaded since the keymap was read took the keycodes: the watch
  // tells it before the first key.
  if (remap == BorrowedKeys::Remap::taken) watch_.typing().layout_changed();
  if (remap == BorrowedKeys::Remap::written) {
    if (Status status = keymap_.reload(); !status) return status;
  }
  borrowed_.record(keys_.down());
  XSync(display_, 0);
  if (errors_.serial != 0 || errors_.lost) {
    return Status::failure(
        u"The X server refused to set up keys for the characters that the "
        u"keyboard layout lacks.");
  }
  return Status::success();
}

KeyboardWatch XTestSession::watch() {
  watch_.read();
  return watch_.watch(errors_.lost);
}

KeyboardSession::Sent XTestSession::send(std::span<const KeyEvent> events) {
  if (errors_.lost) return {0, Status::failure(connection_lost())};
  ErrorTrap trap(display_, errors_);
  errors_.tolerated.clear();

  // The first request of every event, so that an error reported later can
  // be traced back to the event that caused it.
  std::vector<unsigned long> first_request;
  first_request.reserve(events.size() + 1);
  // A playback killed in the middle of the batch leaves the keys it holds
  // then down: the record names every modifier it may press.
  const unsigned modifier_keys[] = {keymap_.shift().keycode, keymap_.control().keycode,
                                    keymap_.alt().keycode, keymap_.level3().keycode};
  borrowed_.record(keys_.down() | keycode_set(modifier_keys));
  Status status = Status::success();
  bool must_wait = false;
  for (const KeyEvent& event : events) {
    first_request.push_back(NextRequest(display_));
    event_ = events_ + first_request.size() - 1;
    switch (event.type) {
      case KeyEvent::Type::press:
        keys_.send(modifiers_.press(event.modifier));
        break;
      case KeyEvent::Type::release:
        keys_.send(modifiers_.release(event.modifier));
        break;
      case KeyEvent::Type::character:
      case KeyEvent::Type::key:
        status = type(event, must_wait);
        break;
    }
    if (must_wait) {
      first_request.pop_back();
      break;
    }
    if (!status || errors_.lost || errors_.serial != 0) break;
  }
  const std::size_t attempted = first_request.size();
  keys_.send(modifiers_.release_extra());
  first_request.push_back(NextRequest(display_));
  XSync(display_, 0);

  if (errors_.lost) return {0, Status::failure(connection_lost())};
  std::size_t delivered = status ? attempted : attempted - 1;
  if (errors_.serial != 0) {
    // An event counts as delivered when all of its requests came before the
    // one the server refused.
    delivered = 0;
    while (delivered < attempted && first_request[delivered + 1] <= errors_.serial) ++delivered;
    status = Status::failure(u"The X server refused a keystroke (error code " +
                             to_text(errors_.code) + u").");
  }
  events_ += delivered;
  watch_.typing().sent_events(events_);
  borrowed_.record(keys_.down());
  return {delivered, std::move(status)};
}

Status XTestSession::type(const KeyEvent& event, bool& must_wait) {
  const KeySymbol keysym = keysym_of(event);
  std::optional<Stroke> stroke = keymap_.find(event, locked_);
  if (!stroke) {
    if (borrowed_.spare().empty()) return no_key_for(event);
    // A borrowed keycode takes a new meaning only once the target has
    // handled the keys sent on it with the old one.
    if (!watch_.target().answers().borrowed_settled()) {
      must_wait = true;
      return Status::success();
    }
    const BorrowedKeys::Remap remap = borrowed_.map_next_batch(keysym);
    if (remap == BorrowedKeys::Remap::written) {
      if (Status status = keymap_.reload(); !status) return status;
    }
    stroke = keymap_.find(event, locked_);
    if (!stroke && (remap == BorrowedKeys::Remap::taken || !borrowed_.still_ours())) {
      // A new layout took the keycodes: nothing more goes out, and the
      // watch stops the playback with what the target read so far.
      watch_.typing().layout_changed();
      must_wait = true;
      return Status::success();
    }
    if (!stroke) return not_on_free_keycode(event);
  }
  if (borrowed_.spare().contains(stroke->keycode)) {
    watch_.target().answers().sent_borrowed();
    borrowed_.typed(keysym);
  }

  keys_.send(modifiers_.stroke(stroke->modifiers));
  // The playback's own Esc goes to the target, not to the grab that watches
  // for the user's.
  InterruptionEvents& grab = watch_.interruptions();
  const bool grabbed = grab.grabs(stroke->keycode);
  if (grabbed) grab.suspend_grab();
  keys_.key(stroke->keycode, true);
  keys_.key(stroke->keycode, false);
  if (grabbed) grab.resume_grab();

  if (event.type == KeyEvent::Type::key &&
      (event.key == Key::capslock || event.key == Key::numlock)) {
    keys_.send(modifiers_.release_extra());
    read_locks();
  }
  return Status::success();
}

// What a lock key did depends on the layout's options (Caps Lock may be a
// Shift Lock, or no lock at all), so the server is asked rather than guessed.
void XTestSession::read_locks() {
  XkbStateRec state{};
  if (XkbGetState(display_, XkbUseCoreKbd, &state) == 0) locked_ = state.locked_mods;
}

bool XTestSession::ask_taken() {
  if (!watch_.target().answers_pings() || errors_.lost) return false;
  ErrorTrap trap(display_, errors_);
  watch_.target().ask();
  XFlush(display_);
  return true;
}

std::size_t XTestSession::answers(std::chrono::milliseconds wait) {
  const TargetAnswers& target = watch_.target().answers();
  const unsigned long before = target.answered();
  watch_.read();
  const Clock::time_point until = Clock::now() + wait;
  while (target.answered() == before && target.answered() < target.asked() && !target.gone() &&
         !errors_.lost && !quit_requested()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
    if (left.count() <= 0) break;
    watch_.wait(std::min(left, std::chrono::milliseconds(20)));
  }
  return target.answered();
}

void XTestSession::finish() {
  if (live_ == this) live_ = nullptr;
  if (display_ == nullptr) return;
  ErrorTrap trap(display_, errors_);
  if (!errors_.lost) {
    keys_.send(modifiers_.finish());
    keys_.release_all();
    XSync(display_, 0);
    watch_.wait_for_escape_up(quit_requested_);
    // A keycode gets its old mapping back once the target has handled the
    // keys sent on it; a target that takes longer than a moment (bounded,
    // also when the program must quit) or cannot say leaves them borrowed,
    // as the record says, for the next playback or the end of the program
    // to give back.
    const bool pings = watch_.target().answers_pings();
    const TargetAnswers& target = watch_.target().answers();
    if (!borrowed_.spare().changed().empty() && pings) {
      if (target.borrowed_unasked()) (void)ask_taken();
      const Clock::time_point asked = Clock::now();
      while (!target.borrowed_settled() && Clock::now() - asked < kEndWait && !target.gone() &&
             !errors_.lost) {
        watch_.wait(std::chrono::milliseconds(20));
      }
    }
    const bool settled = target.gone() || (pings && target.borrowed_settled());
    if (!errors_.lost) {
      if (settled) borrowed_.give_back();
      if (caps_switched_off_) {
        XkbLockModifiers(display_, XkbUseCoreKbd, keymap_.caps_lock_mask(),
                         keymap_.caps_lock_mask());
      }
      borrowed_.record(keys_.down());
      watch_.stop();
      lock_.release();
      XSync(display_, 0);
    }
  }
  XCloseDisplay(display_);
  display_ = nullptr;
}

XTestKeyboard::XTestKeyboard(std::function<bool()> quit_requested)
    : quit_requested_(std::move(quit_requested)) {}

// Keycodes a session of ours left borrowed go back as the program ends.
XTestKeyboard::~XTestKeyboard() {
  give_back_own_left_behind();
}

Keyboard::Opened XTestKeyboard::begin() {
  auto session = std::make_unique<XTestSession>(quit_requested_);
  if (Status status = session->open(); !status) return {nullptr, std::move(status)};
  return {std::move(session), Status::success()};
}

}  // namespace tavrino
