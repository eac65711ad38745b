// SPDX-License-Identifier: MIT
#include "platform/x11/xtest_keyboard.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/text.h"
#include "platform/x11/autorepeat.h"
#include "platform/x11/display_lock.h"
#include "platform/x11/error_trap.h"
#include "platform/x11/focus_facts.h"
#include "platform/x11/focused_window.h"
#include "platform/x11/held_keys.h"
#include "platform/x11/input_tap.h"
#include "platform/x11/keyboard_watch.h"
#include "platform/x11/keymap.h"
#include "platform/x11/keysyms.h"
#include "platform/x11/left_behind.h"
#include "platform/x11/messages.h"
#include "platform/x11/modifier_tracker.h"
#include "platform/x11/spare_keycodes.h"
#include "platform/x11/target_sync.h"
#include "platform/x11/typing_watch.h"

#include "platform/x11/xlib.h"

namespace tavrino {

namespace {

using Clock = std::chrono::steady_clock;

const std::u16string kSessionHint = u" Loading and viewing data files works without one.";
const std::u16string kConnectionLost = u"The connection to the X server was lost.";

// How long a session that ends waits for the target to handle keys sent on
// borrowed keycodes, and for the user to let go of Esc (whose autorepeat
// would reach the target once the grab is gone).
constexpr std::chrono::milliseconds kEndWait{1000};
constexpr std::chrono::milliseconds kEscapeWait{3000};

std::string host_name() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

// Control characters are found by their keysym (Return, Tab, ...), every
// other character by what the keys type.
bool by_character(char32_t c) {
  return c >= 0x20 && c != 0x7f;
}

std::optional<Stroke> find(const Keymap& keymap, const KeyEvent& event, unsigned locked) {
  if (event.type == KeyEvent::Type::character && by_character(event.character)) {
    return keymap.find_character(event.character, locked);
  }
  return keymap.find_keysym(keysym_of(event), locked);
}

// How a message names a key the user pressed.
std::u16string key_name_of(Display* display, unsigned keycode, unsigned group) {
  const KeySym keysym = XkbKeycodeToKeysym(display, static_cast<KeyCode>(keycode), group, 0);
  if (const char32_t c = character_of_keysym(static_cast<KeySymbol>(keysym)); c >= 0x20) {
    return shown(c);
  }
  const char* name = XKeysymToString(keysym);
  return name != nullptr ? utf8_to_utf16(name) : u"A key";
}

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
  std::u16string target_name() override { return target_.name(); }

 private:
  // The session that is open in this process, which an exit() ends (Qt
  // calls exit() when its own X connection breaks).
  static inline XTestSession* live_ = nullptr;
  static void finish_live() {
    if (live_ != nullptr) live_->finish();
  }
  void finish();

  void start_watching();
  UserKey classify(unsigned keycode) const;
  // Takes every event that has arrived into the watches and the sync.
  void read_events();
  // Waits up to `most` for something to arrive, then reads it.
  void wait_for_events(std::chrono::milliseconds most);

  Status send_one(const KeyEvent& event);
  Status type(const KeyEvent& event, bool& must_wait);
  void send_keys(const KeyActions& actions);
  void key(unsigned keycode, bool down);
  bool separate();
  void read_locks();
  void switch_caps_lock_off();

  // Every key sent on a borrowed keycode has been handled by the target.
  bool borrowed_settled() const { return target_.answered() >= settles_at_; }
  Status map_next_batch(KeySymbol needed);
  void restore_mapping();
  void record();
  bool quit_requested() const { return quit_requested_ && quit_requested_(); }
  bool escape_down();

  std::function<bool()> quit_requested_;
  Display* display_ = nullptr;
  XErrors errors_;
  int xkb_event_base_ = 0;
  unsigned long state_atom_ = 0;  // _NET_WM_STATE
  DisplayLock lock_;
  bool locked_display_ = false;

  Keymap keymap_;
  unsigned locked_ = 0;  // the locked modifiers the next keystroke meets
  bool caps_switched_off_ = false;
  ModifierTracker modifiers_;
  SpareKeycodes spare_;
  XKeyboardWatch keyboard_watch_;
  InputTap tap_;
  TypingWatch typing_;
  TargetSync target_;
  unsigned long focus_selected_ = 0;  // the window whose focus changes are watched
  KeycodeSet down_;                   // the keys the playback holds down
  std::optional<KeyAction> last_;     // the last key event sent
  std::size_t events_ = 0;            // events sent so far
  std::size_t event_ = 0;             // the event being sent
  unsigned long asked_ = 0;           // pings sent
  // The ping whose answer shows that every key sent on a borrowed keycode
  // so far has been handled.
  unsigned long settles_at_ = 0;
  bool borrowed_unasked_ = false;  // such a key went out after the last ping
  // The focus window last asked about, and what it is.
  unsigned long focus_window_ = 0;
  Focus focus_;
  std::u16string target_before_;  // how the first message names the target
};

Status XTestSession::open() {
  const char* name = std::getenv("DISPLAY");
  if (name == nullptr || *name == '\0') {
    return Status::failure(u"Typing needs an X11 session (none was found: DISPLAY is not set)." +
                           kSessionHint);
  }
  const std::u16string display_name = utf8_to_utf16(name);
  display_ = XOpenDisplay(nullptr);
  if (display_ == nullptr) {
    return Status::failure(u"Typing needs an X11 session (none was found: cannot open display " +
                           display_name + u")." + kSessionHint);
  }
  catch_connection_loss(display_, errors_);
  ErrorTrap trap(display_, errors_);

  int event_base = 0, error_base = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(display_, &event_base, &error_base, &major, &minor)) {
    return Status::failure(u"Typing needs the XTEST extension, which the X server of display " +
                           display_name + u" does not offer.");
  }
  int opcode = 0;
  major = XkbMajorVersion;
  minor = XkbMinorVersion;
  if (!XkbQueryExtension(display_, &opcode, &xkb_event_base_, &error_base, &major, &minor)) {
    return Status::failure(u"Typing needs the XKEYBOARD extension, which the X server of display " +
                           display_name + u" does not offer.");
  }
  // Another program's server grab must not hold our keystrokes back.
  XTestGrabControl(display_, 1);
  state_atom_ = XInternAtom(display_, "_NET_WM_STATE", 0);
  static const bool registered = std::atexit(&XTestSession::finish_live) == 0;
  (void)registered;
  live_ = this;
  return Status::success();
}

bool XTestSession::lock() {
  ErrorTrap trap(display_, errors_);
  if (!lock_.take(display_)) return false;
  locked_display_ = true;
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
  focus_ = classify_focus(facts, getpid(), host_name());
  return focus_;
}

UserKey XTestSession::classify(unsigned keycode) const {
  const KeySym keysym =
      XkbKeycodeToKeysym(display_, static_cast<KeyCode>(keycode), keymap_.group(), 0);
  if (keysym == XK_Escape) return {UserKey::Kind::escape, HeldKey::shift, {}};
  if (const auto held = held_key_of(static_cast<KeySymbol>(keysym))) {
    return {UserKey::Kind::modifier, *held, {}};
  }
  return {UserKey::Kind::other, HeldKey::shift, key_name_of(display_, keycode, keymap_.group())};
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
  keyboard_watch_.start(display_, xkb_event_base_, state.group);
  if (Status status = keymap_.load(display_); !status) return status;
  modifiers_ =
      ModifierTracker({keymap_.shift(), keymap_.control(), keymap_.alt(), keymap_.level3()});
  for (const KeyEvent& event : all_events) {
    const bool modifier =
        event.type == KeyEvent::Type::press || event.type == KeyEvent::Type::release;
    if (modifier && modifiers_.key(event.modifier).keycode == 0) {
      return no_modifier_key(event.modifier);
    }
    if (!modifier && keysym_of(event) == kNoSymbol) return untypeable(event);
  }
  switch_caps_lock_off();
  read_locks();

  const SpareNeeds needs = plan_spare_needs(
      all_events, locked_, {ShiftMask, keymap_.caps_lock_mask(), keymap_.num_lock_mask()},
      [this](const KeyEvent& event, unsigned locked) {
        return find(keymap_, event, locked).has_value();
      });
  const KeySymbol first_use = needs.uses.empty() ? kNoSymbol : needs.uses.front().keysym;
  spare_ = SpareKeycodes(keymap_.spare_keycodes(), needs.uses);
  KeycodeSet spare_set;
  for (const unsigned keycode : spare_.keycodes()) {
    if (keycode < spare_set.size()) spare_set.set(keycode);
  }
  // The layout as typing begins, before any spare keycode changes.
  keyboard_watch_.set_layout(spare_set);

  Window focus = 0;
  int revert_to = 0;
  XGetInputFocus(display_, &focus, &revert_to);
  target_.find(display_, focus);
  if (needs.first && spare_.empty()) return no_free_keycode_for(all_events[*needs.first]);
  if (spare_.batches_needed() > 1 && !target_.answers_pings()) {
    const std::u16string name =
        target_.name().empty() ? u"The program with the focus" : target_.name();
    return Status::failure(
        u"Nothing was typed: the values hold more characters that the keyboard layout lacks "
        u"than tavrino can give keys at once, and " +
        name +
        u" cannot tell tavrino when it has read a key, so those keys cannot change meaning "
        u"safely. Type the values in two parts, or into a program that answers.");
  }
  start_watching();
  if (needs.first) {
    if (Status status = map_next_batch(first_use); !status) return status;
  }
  XSync(display_, 0);
  if (errors_.serial != 0 || errors_.lost) {
    return Status::failure(
        u"The X server refused to set up keys for the characters that the "
        u"keyboard layout lacks.");
  }
  return Status::success();
}

void XTestSession::start_watching() {
  keyboard_watch_.grab_escape(keymap_.keycodes_with(XK_Escape));
  typing_ = TypingWatch([this](unsigned keycode) { return classify(keycode); });
  (void)tap_.start(display_);

  // The modifiers the user holds now; the raw events tell the changes.
  char bits[32] = {};
  XQueryKeymap(display_, bits);
  for (unsigned keycode = 8; keycode < 256; ++keycode) {
    if ((static_cast<unsigned char>(bits[keycode / 8]) >> (keycode % 8)) & 1) {
      typing_.user_holds(keycode);
    }
  }

  // Another program that takes the keyboard moves its focus away from the
  // window typed into for as long as it holds it: FocusOut and FocusIn with
  // the modes of a grab.
  Window focus = 0;
  int revert_to = 0;
  XGetInputFocus(display_, &focus, &revert_to);
  if (focus != 0 && focus != PointerRoot) {
    focus_selected_ = focus;
    const long target_mask = focus == target_.top_level() ? StructureNotifyMask : 0;
    XSelectInput(display_, focus, FocusChangeMask | target_mask);
  }
  // A grab taken before that shows only by taking the keyboard ourselves:
  // a grab of our own succeeds (and goes at once) unless another holds one.
  const int grabbed = XGrabKeyboard(display_, DefaultRootWindow(display_), 0, GrabModeAsync,
                                    GrabModeAsync, CurrentTime);
  if (grabbed == GrabSuccess) {
    XUngrabKeyboard(display_, CurrentTime);
  } else if (grabbed == AlreadyGrabbed || grabbed == GrabFrozen) {
    typing_.grab_began();
  }
  XSync(display_, 0);
  record();
}

void XTestSession::read_events() {
  if (errors_.lost) return;
  ErrorTrap trap(display_, errors_);
  XEvent event;
  while (XPending(display_) > 0) {
    XNextEvent(display_, &event);
    if (const auto input = tap_.read(event)) {
      const bool down = input->kind == RawInput::Kind::key_press;
      if (input->kind == RawInput::Kind::button_press) {
        typing_.button(input->detail);
      } else if (input->xtest) {
        typing_.xtest_key(input->detail, down);
      } else {
        typing_.user_key(input->detail, down);
      }
      continue;
    }
    if (target_.take(event)) continue;
    if ((event.type == FocusOut || event.type == FocusIn) &&
        event.xfocus.window == focus_selected_) {
      if (event.xfocus.mode == NotifyGrab && event.type == FocusOut) typing_.grab_began();
      if (event.xfocus.mode == NotifyUngrab && event.type == FocusIn) typing_.grab_ended();
      continue;
    }
    const bool layout_was_changed = keyboard_watch_.watch().layout_changed();
    if (keyboard_watch_.take(event)) {
      keyboard_watch_.settle();
      if (!layout_was_changed && keyboard_watch_.watch().layout_changed()) {
        typing_.layout_changed();
      }
    }
  }
}

void XTestSession::wait_for_events(std::chrono::milliseconds most) {
  if (errors_.lost) return;
  // What has arrived already is read into the queue first; the connection
  // then becomes readable only for something new.
  if (XEventsQueued(display_, QueuedAfterReading) == 0) {
    pollfd fd{ConnectionNumber(display_), POLLIN, 0};
    poll(&fd, 1, static_cast<int>(most.count()));
  }
  read_events();
}

KeyboardWatch XTestSession::watch() {
  read_events();
  KeyboardWatch watch;
  // Esc comes through the grab while the grab is this session's (the
  // server then keeps the key's raw events from it), and as a raw event
  // while another program's grab takes it.
  watch.escapes = std::max(typing_.escapes(), keyboard_watch_.watch().escapes());
  watch.held = typing_.held();
  watch.grabbed = typing_.grabbed();
  watch.disturbed = typing_.disturbed();
  watch.target_gone = target_.gone();
  if (errors_.lost) watch.broken = kConnectionLost;
  return watch;
}

KeyboardSession::Sent XTestSession::send(std::span<const KeyEvent> events) {
  if (errors_.lost) return {0, Status::failure(kConnectionLost)};
  ErrorTrap trap(display_, errors_);
  errors_.tolerated.clear();

  // The first request of every event, so that an error reported later can
  // be traced back to the event that caused it.
  std::vector<unsigned long> first_request;
  first_request.reserve(events.size() + 1);
  Status status = Status::success();
  bool must_wait = false;
  for (const KeyEvent& event : events) {
    first_request.push_back(NextRequest(display_));
    event_ = events_ + first_request.size() - 1;
    switch (event.type) {
      case KeyEvent::Type::press:
      case KeyEvent::Type::release:
        status = send_one(event);
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
  send_keys(modifiers_.release_extra());
  first_request.push_back(NextRequest(display_));
  XSync(display_, 0);

  if (errors_.lost) return {0, Status::failure(kConnectionLost)};
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
  typing_.sent_events(events_);
  record();
  return {delivered, std::move(status)};
}

Status XTestSession::send_one(const KeyEvent& event) {
  if (event.type == KeyEvent::Type::press) {
    send_keys(modifiers_.press(event.modifier));
  } else {
    send_keys(modifiers_.release(event.modifier));
  }
  return Status::success();
}

Status XTestSession::type(const KeyEvent& event, bool& must_wait) {
  const KeySymbol keysym = keysym_of(event);
  std::optional<Stroke> stroke = find(keymap_, event, locked_);
  if (!stroke) {
    if (spare_.empty()) return no_key_for(event);
    // A borrowed keycode takes a new meaning only once the target has
    // handled the keys sent on it with the old one.
    if (!borrowed_settled() || borrowed_unasked_) {
      must_wait = true;
      return Status::success();
    }
    if (Status status = map_next_batch(keysym); !status) return status;
    stroke = find(keymap_, event, locked_);
    if (!stroke) return not_on_free_keycode(event);
  }
  if (spare_.contains(stroke->keycode)) {
    borrowed_unasked_ = true;
    spare_.typed(keysym);
  }

  send_keys(modifiers_.stroke(stroke->modifiers));
  // The playback's own Esc goes to the target, not to the grab that watches
  // for the user's.
  const bool grabbed = keyboard_watch_.grabs(stroke->keycode);
  if (grabbed) keyboard_watch_.suspend_grab();
  key(stroke->keycode, true);
  key(stroke->keycode, false);
  if (grabbed) keyboard_watch_.resume_grab();

  if (event.type == KeyEvent::Type::key &&
      (event.key == Key::capslock || event.key == Key::numlock)) {
    send_keys(modifiers_.release_extra());
    read_locks();
  }
  return Status::success();
}

void XTestSession::send_keys(const KeyActions& actions) {
  for (const KeyAction& action : actions) key(action.keycode, action.down);
}

void XTestSession::key(unsigned keycode, bool down) {
  const KeyAction action{keycode, down};
  unsigned long delay_ms = 0;
  if (taken_for_autorepeat(last_, action) && !separate()) {
    // XTEST's delay puts the press into a later millisecond than the release.
    delay_ms = 1;
  }
  XTestFakeKeyEvent(display_, keycode, down ? 1 : 0, delay_ms);
  typing_.sent(keycode, down, event_);
  last_ = action;
  if (keycode < down_.size()) down_[keycode] = down;
}

// A client message between a release and the press of the same keycode: the
// target's next event after the release is then no key press, whatever their
// times. It is sent to the focus window, and so to the program that made it;
// _NET_WM_STATE with no state named asks for nothing, and toolkits drop it
// without a word (it is meant for the root window). Costs nothing but the
// request, where a later millisecond would cost a millisecond per doubled
// key. False without a focus window to send it to.
bool XTestSession::separate() {
  if (focus_window_ == 0) return false;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = focus_window_;
  event.xclient.message_type = state_atom_;
  event.xclient.format = 32;
  // The focus window may be gone by now; that is no failure of a keystroke.
  errors_.tolerated.push_back(NextRequest(display_));
  XSendEvent(display_, focus_window_, 0, NoEventMask, &event);
  return true;
}

// What a lock key did depends on the layout's options (Caps Lock may be a
// Shift Lock, or no lock at all), so the server is asked rather than guessed.
void XTestSession::read_locks() {
  XkbStateRec state{};
  if (XkbGetState(display_, XkbUseCoreKbd, &state) == 0) locked_ = state.locked_mods;
}

bool XTestSession::ask_taken() {
  if (!target_.answers_pings() || errors_.lost) return false;
  ++asked_;
  if (borrowed_unasked_) {
    settles_at_ = asked_;
    borrowed_unasked_ = false;
  }
  ErrorTrap trap(display_, errors_);
  target_.ask(asked_);
  XFlush(display_);
  return true;
}

std::size_t XTestSession::answers(std::chrono::milliseconds wait) {
  const unsigned long before = target_.answered();
  read_events();
  const Clock::time_point until = Clock::now() + wait;
  while (target_.answered() == before && target_.answered() < asked_ && !target_.gone() &&
         !errors_.lost && !quit_requested()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
    if (left.count() <= 0) break;
    wait_for_events(std::min(left, std::chrono::milliseconds(20)));
  }
  return target_.answered();
}

// Maps the next batch of missing keysyms onto the spare keycodes.
Status XTestSession::map_next_batch(KeySymbol needed) {
  const std::vector<KeycodeMapping> changes = spare_.next_batch(needed);
  if (changes.empty()) return Status::success();
  if (!spare_.knows_originals()) {
    const std::vector<KeycodeMapping> originals =
        read_keycode_mappings(display_, spare_.keycodes());
    if (!originals.empty()) spare_.record_originals(originals);
  }
  if (spare_.knows_originals()) {
    write_keycode_mappings(display_, changes);
    std::vector<unsigned> changed;
    for (const KeycodeMapping& change : changes) changed.push_back(change.keycode);
    const std::vector<KeycodeMapping> now = read_keycode_mappings(display_, changed);
    spare_.written(now.empty() ? changes : now);
    record();
  }
  // The server now derives the key types of the new symbols (a letter gets
  // the alphabetic type, which Caps Lock acts on); reading them back lets
  // the same search that covers the layout find them.
  return keymap_.reload();
}

// Gives the changed keycodes their mapping back where they still hold ours:
// one that holds something else now belongs to whoever changed it since.
void XTestSession::restore_mapping() {
  const std::vector<unsigned> changed = spare_.changed();
  if (changed.empty()) return;
  write_keycode_mappings(display_, spare_.restore(read_keycode_mappings(display_, changed)));
}

// Keeps the record on the root window up to date: what the next tavrino
// gives back if this one cannot.
void XTestSession::record() {
  if (!locked_display_) return;
  BorrowedRecord record;
  record.pid = getpid();
  record.host = host_name();
  for (unsigned keycode = 0; keycode < down_.size(); ++keycode) {
    if (down_[keycode]) record.down.push_back(keycode);
  }
  record.borrowed = spare_.borrowed();
  if (record.down.empty() && record.borrowed.empty()) {
    clear_left_behind(display_);
  } else {
    write_left_behind(display_, record);
  }
}

bool XTestSession::escape_down() {
  char bits[32] = {};
  XQueryKeymap(display_, bits);
  for (const unsigned keycode : keymap_.keycodes_with(XK_Escape)) {
    if (keycode < 256 && ((static_cast<unsigned char>(bits[keycode / 8]) >> (keycode % 8)) & 1)) {
      return true;
    }
  }
  return false;
}

void XTestSession::finish() {
  if (live_ == this) live_ = nullptr;
  if (display_ == nullptr) return;
  ErrorTrap trap(display_, errors_);
  if (!errors_.lost) {
    send_keys(modifiers_.finish());
    for (unsigned keycode = 0; keycode < down_.size(); ++keycode) {
      if (down_[keycode]) key(keycode, false);
    }
    XSync(display_, 0);
    // While the user still holds Esc, its autorepeat would go to the target
    // the moment the grab goes. (The server keeps the raw events of the key
    // from the client whose grab it activated, so the keys down are asked.)
    // Autorepeat releases the key for an instant between two presses, so it
    // counts as let go only once it has been up for longer than that.
    constexpr std::chrono::milliseconds kUpFor{120};
    const Clock::time_point started = Clock::now();
    Clock::time_point up_since = started;
    const bool escape_pressed = typing_.escapes() > 0 || keyboard_watch_.watch().escapes() > 0;
    if (!escape_pressed && !escape_down()) up_since -= kUpFor;
    while (Clock::now() - up_since < kUpFor && Clock::now() - started < kEscapeWait &&
           !errors_.lost && !quit_requested()) {
      if (escape_down()) up_since = Clock::now();
      if (Clock::now() - up_since < kUpFor) wait_for_events(std::chrono::milliseconds(20));
    }
    // A keycode gets its old mapping back once the target has handled the
    // keys sent on it; a target that takes longer than a moment (or cannot
    // say) leaves them borrowed, as the record says, for the next playback
    // or the end of the program to give back.
    // Bounded, so also when the program must quit.
    if (!spare_.changed().empty() && target_.answers_pings()) {
      if (borrowed_unasked_) (void)ask_taken();
      const Clock::time_point asked = Clock::now();
      while (!borrowed_settled() && Clock::now() - asked < kEndWait && !target_.gone() &&
             !errors_.lost) {
        wait_for_events(std::chrono::milliseconds(20));
      }
    }
    const bool settled =
        target_.gone() || (target_.answers_pings() && borrowed_settled() && !borrowed_unasked_);
    if (!errors_.lost) {
      if (settled) restore_mapping();
      if (caps_switched_off_) {
        XkbLockModifiers(display_, XkbUseCoreKbd, keymap_.caps_lock_mask(),
                         keymap_.caps_lock_mask());
      }
      down_.reset();
      record();
      keyboard_watch_.stop();
      tap_.stop();
      target_.stop();
      if (focus_selected_ != 0) XSelectInput(display_, focus_selected_, NoEventMask);
      lock_.release();
      XSync(display_, 0);
    }
  }
  XCloseDisplay(display_);
  display_ = nullptr;
}

XTestKeyboard::XTestKeyboard(std::function<bool()> quit_requested)
    : quit_requested_(std::move(quit_requested)) {}

XTestKeyboard::~XTestKeyboard() {
  // Keycodes a session of ours left borrowed go back as the program ends;
  // its target has had all the time since.
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

Keyboard::Opened XTestKeyboard::begin() {
  auto session = std::make_unique<XTestSession>(quit_requested_);
  if (Status status = session->open(); !status) return {nullptr, std::move(status)};
  return {std::move(session), Status::success()};
}

}  // namespace tavrino
