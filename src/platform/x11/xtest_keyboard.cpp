// SPDX-License-Identifier: MIT
#include "platform/x11/xtest_keyboard.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <optional>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/text.h"
#include "platform/x11/autorepeat.h"
#include "platform/x11/display_lock.h"
#include "platform/x11/error_trap.h"
#include "platform/x11/focus_facts.h"
#include "platform/x11/focus_sync.h"
#include "platform/x11/focused_window.h"
#include "platform/x11/held_keys.h"
#include "platform/x11/keyboard_watch.h"
#include "platform/x11/keymap.h"
#include "platform/x11/keysyms.h"
#include "platform/x11/messages.h"
#include "platform/x11/modifier_tracker.h"
#include "platform/x11/spare_keycodes.h"

#include "platform/x11/xlib.h"

namespace tavrino {

namespace {

const std::u16string kSessionHint = u" Loading and viewing data files works without one.";
const std::u16string kConnectionLost = u"The connection to the X server was lost.";
const std::u16string kAnotherPlayback =
    u"Another tavrino is typing on this display; nothing was typed. Press START again once it "
    u"has finished.";

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

}  // namespace

// One playback: the connection, what was remapped, what is held down, and
// what is watched for.
class XTestKeyboard::Session {
 public:
  explicit Session(std::function<bool()> quit_requested)
      : quit_requested_(std::move(quit_requested)) {}
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  ~Session() { finish(); }

  Status open();
  Focus focus();
  HeldKeys held_keys();
  Status prepare(std::span<const KeyEvent> all_events);
  std::optional<StopReason> interruption();
  Sent send(std::span<const KeyEvent> events);
  // Releases, restores and disconnects; see XTestKeyboard::end().
  void finish();

 private:
  // The playback that is open in this process, which an exit() ends (Qt
  // calls exit() when its own X connection breaks).
  static inline Session* live_ = nullptr;
  static void finish_live();

  Status send_one(const KeyEvent& event);
  Status type(const KeyEvent& event);
  void send_keys(const KeyActions& actions);
  void key(unsigned keycode, bool down);
  bool separate();
  void read_locks();
  void switch_caps_lock_off();

  Status map_next_batch(KeySymbol needed);
  std::vector<KeycodeMapping> read_mapping(const std::vector<unsigned>& keycodes);
  void write_mapping(std::vector<KeycodeMapping> mappings);
  void restore_mapping();
  // Waits until the target has taken the keystrokes (see focus_sync.h) or
  // `give_up` says to stop waiting.
  enum class Wait { taken, timed_out, given_up };
  Wait wait_for_target(const std::function<bool()>& give_up);
  bool quit_requested() const { return quit_requested_ && quit_requested_(); }
  std::optional<StopReason> stop_reason();

  std::function<bool()> quit_requested_;
  Display* display_ = nullptr;
  XErrors errors_;
  int xkb_event_base_ = 0;
  unsigned long state_atom_ = 0;  // _NET_WM_STATE
  DisplayLock lock_;

  Keymap keymap_;
  unsigned locked_ = 0;  // the locked modifiers the next keystroke meets
  bool caps_switched_off_ = false;
  ModifierTracker modifiers_;
  SpareKeycodes spare_;
  KeyboardWatch watch_;
  KeycodeSet down_;                // the keys the playback holds down
  std::optional<KeyAction> last_;  // the last key event sent
  // A keystroke on a remapped keycode was sent since the target last showed
  // that it had taken everything.
  bool unsettled_ = false;
  // The focus window last asked about, and what it is.
  unsigned long focus_window_ = 0;
  // The focus window when typing began: the program the keys went to, which
  // must have read them before remapped keycodes change again.
  unsigned long typed_into_ = 0;
  bool prepared_ = false;
  Focus focus_;
};

void XTestKeyboard::Session::finish_live() {
  if (live_ != nullptr) live_->finish();
}

Status XTestKeyboard::Session::open() {
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
  if (!lock_.take(display_)) return Status::failure(kAnotherPlayback);
  static const bool registered = std::atexit(&Session::finish_live) == 0;
  (void)registered;
  live_ = this;
  return Status::success();
}

Focus XTestKeyboard::Session::focus() {
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
  // The first answer after prepare() names the window the keys go to.
  if (prepared_ && typed_into_ == 0 && focus_.kind == Focus::Kind::other) typed_into_ = window;
  return focus_;
}

HeldKeys XTestKeyboard::Session::held_keys() {
  if (errors_.lost) return {};
  XErrors errors;
  ErrorTrap trap(display_, errors);
  char bits[32] = {};
  XQueryKeymap(display_, bits);
  KeycodeSet down;
  for (unsigned keycode = 0; keycode < down.size(); ++keycode) {
    down[keycode] = ((static_cast<unsigned char>(bits[keycode / 8]) >> (keycode % 8)) & 1) != 0;
  }
  XkbStateRec state{};
  XkbGetState(display_, XkbUseCoreKbd, &state);
  std::vector<BoundKey> bound;
  if (XModifierKeymap* map = XGetModifierMapping(display_)) {
    for (int i = 0; i < 8 * map->max_keypermod; ++i) {
      const KeyCode keycode = map->modifiermap[i];
      if (keycode == 0) continue;
      KeySym keysym = XkbKeycodeToKeysym(display_, keycode, state.group, 0);
      if (keysym == 0) keysym = XkbKeycodeToKeysym(display_, keycode, 0, 0);
      bound.push_back({keycode, static_cast<KeySymbol>(keysym)});
    }
    XFreeModifiermap(map);
  }
  if (errors.lost) return {};
  return held_keys_of(down, bound, down_);
}

std::optional<StopReason> XTestKeyboard::Session::interruption() {
  return stop_reason();
}

std::optional<StopReason> XTestKeyboard::Session::stop_reason() {
  if (quit_requested()) return StopReason::quit;
  if (!errors_.lost) {
    ErrorTrap trap(display_, errors_);
    watch_.read();
  }
  return watch_.watch().reason();
}

// Caps Lock would turn the letters of the spare keycodes into capitals
// that may not exist (ß, µ), and a value could then fail halfway. Typing
// with it off types what was written either way; the user gets it back at
// the end.
void XTestKeyboard::Session::switch_caps_lock_off() {
  if ((keymap_.locked_modifiers() & keymap_.caps_lock_mask()) == 0) return;
  XkbLockModifiers(display_, XkbUseCoreKbd, keymap_.caps_lock_mask(), 0);
  caps_switched_off_ = true;
}

Status XTestKeyboard::Session::prepare(std::span<const KeyEvent> all_events) {
  ErrorTrap trap(display_, errors_);
  // Watched from before the layout is read, so that no change of it goes
  // unseen.
  XkbStateRec state{};
  XkbGetState(display_, XkbUseCoreKbd, &state);
  watch_.start(display_, xkb_event_base_, state.group);
  if (Status status = keymap_.load(display_); !status) return status;
  modifiers_ =
      ModifierTracker({keymap_.shift(), keymap_.control(), keymap_.alt(), keymap_.level3()});
  switch_caps_lock_off();
  read_locks();
  watch_.grab_escape(keymap_.keycodes_with(XK_Escape));

  // Walk the playback as send() will, following what Caps Lock and Num Lock
  // keys do to the locks, and collect what no key types. A keysym typed
  // while Shift is held, or locked (a Shift Lock), needs a keycode that gives
  // it with and without Shift.
  unsigned locked = locked_;
  const bool shift_locked = (locked_ & ShiftMask) != 0;
  int shift_presses = 0;
  std::vector<SpareUse> uses;
  std::unordered_set<KeySymbol> shifted;
  const KeyEvent* first_missing = nullptr;
  for (const KeyEvent& event : all_events) {
    if (event.type == KeyEvent::Type::press || event.type == KeyEvent::Type::release) {
      if (modifiers_.key(event.modifier).keycode == 0) return no_modifier_key(event.modifier);
      if (event.modifier == Modifier::shift) {
        shift_presses += event.type == KeyEvent::Type::press ? 1 : -1;
        shift_presses = std::max(shift_presses, 0);
      }
      continue;
    }
    const KeySymbol keysym = keysym_of(event);
    if (keysym == kNoSymbol) return untypeable(event);
    if (!find(keymap_, event, locked)) {
      uses.push_back({keysym, false});
      if (shift_locked || shift_presses > 0) shifted.insert(keysym);
      if (first_missing == nullptr) first_missing = &event;
    }
    if (event.type == KeyEvent::Type::key && event.key == Key::capslock) {
      locked ^= keymap_.caps_lock_mask();
    } else if (event.type == KeyEvent::Type::key && event.key == Key::numlock) {
      locked ^= keymap_.num_lock_mask();
    }
  }
  for (SpareUse& use : uses) {
    use.shifted = shifted.count(use.keysym) != 0;
  }
  const KeySymbol first_use = uses.empty() ? kNoSymbol : uses.front().keysym;
  spare_ = SpareKeycodes(keymap_.spare_keycodes(), std::move(uses));
  KeycodeSet spare_set;
  for (const unsigned keycode : spare_.keycodes()) {
    if (keycode < spare_set.size()) spare_set.set(keycode);
  }
  // The layout as typing begins, before any spare keycode changes.
  watch_.set_layout(spare_set);
  // From here on the focus names the window the keys are for.
  prepared_ = true;
  if (first_missing == nullptr) return Status::success();
  if (spare_.empty()) return no_free_keycode_for(*first_missing);
  if (Status status = map_next_batch(first_use); !status) return status;
  if (errors_.serial != 0 || errors_.lost) {
    return Status::failure(
        u"The X server refused to set up keys for the characters that the "
        u"keyboard layout lacks.");
  }
  return Status::success();
}

Keyboard::Sent XTestKeyboard::Session::send(std::span<const KeyEvent> events) {
  if (errors_.lost) return {0, Status::failure(kConnectionLost)};
  ErrorTrap trap(display_, errors_);
  errors_.tolerated.clear();

  // The first request of every event, so that an error reported later can
  // be traced back to the event that caused it.
  std::vector<unsigned long> first_request;
  first_request.reserve(events.size() + 1);
  Status status = Status::success();
  for (const KeyEvent& event : events) {
    first_request.push_back(NextRequest(display_));
    status = send_one(event);
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
    return {delivered, Status::failure(u"The X server refused a keystroke (error code " +
                                       to_text(errors_.code) + u").")};
  }
  return {delivered, std::move(status)};
}

Status XTestKeyboard::Session::send_one(const KeyEvent& event) {
  switch (event.type) {
    case KeyEvent::Type::press:
      send_keys(modifiers_.press(event.modifier));
      if (modifiers_.key(event.modifier).keycode == 0) return no_modifier_key(event.modifier);
      return Status::success();
    case KeyEvent::Type::release:
      send_keys(modifiers_.release(event.modifier));
      return Status::success();
    case KeyEvent::Type::character:
    case KeyEvent::Type::key:
      return type(event);
  }
  return Status::success();
}

Status XTestKeyboard::Session::type(const KeyEvent& event) {
  const KeySymbol keysym = keysym_of(event);
  if (keysym == kNoSymbol) return untypeable(event);
  std::optional<Stroke> stroke = find(keymap_, event, locked_);
  if (!stroke) {
    if (spare_.empty()) return no_key_for(event);
    if (Status status = map_next_batch(keysym); !status) return status;
    stroke = find(keymap_, event, locked_);
    if (!stroke) return not_on_free_keycode(event);
  }
  if (spare_.contains(stroke->keycode)) {
    unsettled_ = true;
    spare_.typed(keysym);
  }

  send_keys(modifiers_.stroke(stroke->modifiers));
  // The playback's own Esc goes to the target, not to the grab that watches
  // for the user's.
  const bool grabbed = watch_.grabs(stroke->keycode);
  if (grabbed) watch_.suspend_grab();
  key(stroke->keycode, true);
  key(stroke->keycode, false);
  if (grabbed) watch_.resume_grab();

  if (event.type == KeyEvent::Type::key &&
      (event.key == Key::capslock || event.key == Key::numlock)) {
    send_keys(modifiers_.release_extra());
    read_locks();
  }
  return Status::success();
}

void XTestKeyboard::Session::send_keys(const KeyActions& actions) {
  for (const KeyAction& action : actions) key(action.keycode, action.down);
}

void XTestKeyboard::Session::key(unsigned keycode, bool down) {
  const KeyAction action{keycode, down};
  unsigned long delay_ms = 0;
  if (taken_for_autorepeat(last_, action) && !separate()) {
    // XTEST's delay puts the press into a later millisecond than the release.
    delay_ms = 1;
  }
  XTestFakeKeyEvent(display_, keycode, down ? 1 : 0, delay_ms);
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
bool XTestKeyboard::Session::separate() {
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
void XTestKeyboard::Session::read_locks() {
  XkbStateRec state{};
  if (XkbGetState(display_, XkbUseCoreKbd, &state) == 0) locked_ = state.locked_mods;
}

// Maps the next batch of missing keysyms onto the spare keycodes, once the
// target has read every keystroke on them so far.
Status XTestKeyboard::Session::map_next_batch(KeySymbol needed) {
  const std::vector<KeycodeMapping> changes = spare_.next_batch(needed);
  if (changes.empty()) return Status::success();

  if (unsettled_) {
    send_keys(modifiers_.release_extra());
    // Remapping a keycode the target has not read yet would turn its
    // keystroke into the new character: better to stop and say so. Esc, a
    // change of layout, a quit or the focus leaving the target (it may have
    // died) cut the wait short.
    const Focus target = focus_;
    const Wait waited =
        wait_for_target([this, target] { return stop_reason().has_value() || focus() != target; });
    if (waited == Wait::given_up) {
      if (const auto reason = stop_reason()) return Status::failure(stop_reason_text(*reason));
      if (errors_.lost) return Status::failure(kConnectionLost);
      return Status::failure(stop_reason_text(StopReason::focus_moved));
    }
    if (waited == Wait::timed_out) {
      return Status::failure(
          u"The program with the focus did not take the keystrokes within " +
          to_text(kPingTimeout.count() / 1000) +
          u" seconds, so typing stopped before a key it had not read yet could change.");
    }
  }
  if (!spare_.knows_originals()) {
    const std::vector<KeycodeMapping> originals = read_mapping(spare_.keycodes());
    if (!originals.empty()) spare_.record_originals(originals);
  }
  if (spare_.knows_originals()) {
    write_mapping(changes);
    std::vector<unsigned> changed;
    for (const KeycodeMapping& change : changes) changed.push_back(change.keycode);
    const std::vector<KeycodeMapping> now = read_mapping(changed);
    spare_.written(now.empty() ? changes : now);
  }
  // The server now derives the key types of the new symbols (a letter gets
  // the alphabetic type, which Caps Lock acts on); reading them back lets
  // the same search that covers the layout find them.
  return keymap_.reload();
}

// What the keycodes hold, as the core protocol lists them; nothing when the
// server does not say.
std::vector<KeycodeMapping> XTestKeyboard::Session::read_mapping(
    const std::vector<unsigned>& keycodes) {
  if (keycodes.empty()) return {};
  const auto [low, high] = std::minmax_element(keycodes.begin(), keycodes.end());
  int per = 0;
  KeySym* all = XGetKeyboardMapping(display_, static_cast<KeyCode>(*low),
                                    static_cast<int>(*high - *low + 1), &per);
  if (all == nullptr) return {};
  std::vector<KeycodeMapping> mappings;
  for (const unsigned keycode : keycodes) {
    const KeySym* first = all + (keycode - *low) * static_cast<unsigned>(per);
    mappings.push_back({keycode, KeycodeSymbols(first, first + per)});
  }
  XFree(all);
  return mappings;
}

// One request per run of neighbouring keycodes: a request covers a range,
// and keycodes in between that are not ours must not be touched, since
// setting them through the core protocol would lose their XKB details.
void XTestKeyboard::Session::write_mapping(std::vector<KeycodeMapping> mappings) {
  std::sort(mappings.begin(), mappings.end(),
            [](const KeycodeMapping& a, const KeycodeMapping& b) { return a.keycode < b.keycode; });
  std::size_t per_keycode = 0;
  for (const KeycodeMapping& mapping : mappings) {
    per_keycode = std::max(per_keycode, mapping.symbols.size());
  }
  for (std::size_t i = 0; i < mappings.size();) {
    std::size_t j = i + 1;
    while (j < mappings.size() && mappings[j].keycode == mappings[j - 1].keycode + 1) ++j;
    std::vector<KeySym> run;
    for (std::size_t k = i; k < j; ++k) {
      run.insert(run.end(), mappings[k].symbols.begin(), mappings[k].symbols.end());
      run.resize((k - i + 1) * per_keycode, 0);
    }
    XChangeKeyboardMapping(display_, static_cast<int>(mappings[i].keycode),
                           static_cast<int>(per_keycode), run.data(), static_cast<int>(j - i));
    i = j;
  }
}

// Gives the changed keycodes their mapping back where they still hold ours:
// one that holds something else now belongs to whoever changed it since.
void XTestKeyboard::Session::restore_mapping() {
  const std::vector<unsigned> changed = spare_.changed();
  if (changed.empty()) return;
  write_mapping(spare_.restore(read_mapping(changed)));
}

XTestKeyboard::Session::Wait XTestKeyboard::Session::wait_for_target(
    const std::function<bool()>& give_up) {
  const unsigned long error_before = errors_.serial;
  bool gave_up = false;
  const bool taken = wait_for_focused_program(display_, typed_into_, [&] {
    gave_up = errors_.lost || give_up();
    return gave_up;
  });
  if (error_before == 0) errors_.serial = 0;
  if (taken) {
    unsettled_ = false;
    return Wait::taken;
  }
  if (gave_up) return Wait::given_up;
  // A target that missed the time will not be waited for again.
  unsettled_ = false;
  return Wait::timed_out;
}

void XTestKeyboard::Session::finish() {
  if (live_ == this) live_ = nullptr;
  if (display_ == nullptr) return;
  ErrorTrap trap(display_, errors_);
  if (!errors_.lost) {
    send_keys(modifiers_.finish());
    for (unsigned keycode = 0; keycode < down_.size(); ++keycode) {
      if (down_[keycode]) key(keycode, false);
    }
    XSync(display_, 0);
    // The keys sent on remapped keycodes must be read before those keycodes
    // get their old mapping back, or a target that lags behind reads them
    // as nothing, and an entry counted as typed would lack characters. So
    // even after a stop the target gets its time, but no more than
    // kQuitWait once the program must quit, and none after a second Esc:
    // the user's keyboard must never stay changed.
    if (!errors_.lost && unsettled_) {
      watch_.read();
      const unsigned escapes = watch_.watch().escapes();
      const auto started = std::chrono::steady_clock::now();
      (void)wait_for_target([this, escapes, started] {
        watch_.read();
        return watch_.watch().escapes() > escapes ||
               (quit_requested() && std::chrono::steady_clock::now() - started >= kQuitWait);
      });
    }
    if (!errors_.lost) {
      restore_mapping();
      if (caps_switched_off_) {
        XkbLockModifiers(display_, XkbUseCoreKbd, keymap_.caps_lock_mask(),
                         keymap_.caps_lock_mask());
      }
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

XTestKeyboard::~XTestKeyboard() = default;

Status XTestKeyboard::begin() {
  session_.reset();
  auto session = std::make_unique<Session>(quit_requested_);
  if (Status status = session->open(); !status) return status;
  session_ = std::move(session);
  return Status::success();
}

Focus XTestKeyboard::focus() {
  if (!session_) return {};
  return session_->focus();
}

HeldKeys XTestKeyboard::held_keys() {
  if (!session_) return {};
  return session_->held_keys();
}

Status XTestKeyboard::prepare(std::span<const KeyEvent> all_events) {
  if (!session_) return Status::failure(u"Typing was not set up before preparing keys.");
  return session_->prepare(all_events);
}

std::optional<StopReason> XTestKeyboard::interruption() {
  if (!session_) return std::nullopt;
  return session_->interruption();
}

Keyboard::Sent XTestKeyboard::send(std::span<const KeyEvent> events) {
  if (!session_) return {0, Status::failure(u"Typing was not set up before sending keys.")};
  return session_->send(events);
}

void XTestKeyboard::end() {
  session_.reset();
}

}  // namespace tavrino
