// SPDX-License-Identifier: MIT
#include "platform/x11/xtest_keyboard.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "base/text.h"
#include "platform/x11/error_trap.h"
#include "platform/x11/focus_sync.h"
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

// Control characters are found by their keysym (Return, Tab, ...), every
// other character by what the keys type.
bool by_character(char32_t c) {
  return c >= 0x20 && c != 0x7f;
}

KeySymbol keysym_of(const KeyEvent& event) {
  return event.type == KeyEvent::Type::key ? keysym_for_key(event.key)
                                           : keysym_for_character(event.character);
}

std::optional<Stroke> find(const Keymap& keymap, const KeyEvent& event, unsigned locked) {
  if (event.type == KeyEvent::Type::character && by_character(event.character)) {
    return keymap.find_character(event.character, locked);
  }
  return keymap.find_keysym(keysym_of(event), locked);
}

}  // namespace

// One playback: the connection, what was remapped, and what is held down.
class XTestKeyboard::Session {
 public:
  Session() = default;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  ~Session() { finish(); }

  Status open();
  Status prepare(std::span<const KeyEvent> all_events);
  Sent send(std::span<const KeyEvent> events);

 private:
  Status send_one(const KeyEvent& event);
  Status type(const KeyEvent& event);
  void send_keys(const KeyActions& actions);
  void key(unsigned keycode, bool down);
  void read_locks();

  Status map_next_batch(KeySymbol needed);
  std::vector<KeycodeMapping> read_mapping(const std::vector<unsigned>& keycodes);
  void write_mapping(std::vector<KeycodeMapping> mappings);
  void restore_mapping();
  bool wait_for_target();

  void finish();

  Display* display_ = nullptr;
  XErrors errors_;

  Keymap keymap_;
  unsigned locked_ = 0;  // the locked modifiers the next keystroke meets
  ModifierTracker modifiers_;
  SpareKeycodes spare_;
  // A keystroke on a remapped keycode was sent since the target last showed
  // that it had taken everything.
  bool unsettled_ = false;
};

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
  if (!XkbQueryExtension(display_, &opcode, &event_base, &error_base, &major, &minor)) {
    return Status::failure(u"Typing needs the XKEYBOARD extension, which the X server of display " +
                           display_name + u" does not offer.");
  }
  // Another program's server grab must not hold our keystrokes back.
  XTestGrabControl(display_, 1);
  if (Status status = keymap_.load(display_); !status) return status;
  modifiers_ =
      ModifierTracker({keymap_.shift(), keymap_.control(), keymap_.alt(), keymap_.level3()});
  return Status::success();
}

Status XTestKeyboard::Session::prepare(std::span<const KeyEvent> all_events) {
  ErrorTrap trap(display_, errors_);
  locked_ = keymap_.locked_modifiers();

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
  key(stroke->keycode, true);
  key(stroke->keycode, false);

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
  XTestFakeKeyEvent(display_, keycode, down ? 1 : 0, CurrentTime);
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
    // keystroke into the new character: better to stop and say so.
    if (!wait_for_target()) {
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

bool XTestKeyboard::Session::wait_for_target() {
  const unsigned long error_before = errors_.serial;
  const bool taken = wait_for_focused_program(display_, [this] { return errors_.lost; });
  if (error_before == 0) errors_.serial = 0;
  unsettled_ = false;
  return taken;
}

void XTestKeyboard::Session::finish() {
  if (display_ == nullptr) return;
  ErrorTrap trap(display_, errors_);
  if (!errors_.lost) {
    send_keys(modifiers_.finish());
    XSync(display_, 0);
    // The user's keyboard is restored even when the target is too busy to
    // confirm; it must never stay changed.
    if (!errors_.lost && unsettled_) (void)wait_for_target();
    if (!errors_.lost) {
      restore_mapping();
      XSync(display_, 0);
    }
  }
  XCloseDisplay(display_);
  display_ = nullptr;
}

XTestKeyboard::XTestKeyboard() = default;

XTestKeyboard::~XTestKeyboard() = default;

Status XTestKeyboard::begin() {
  session_.reset();
  auto session = std::make_unique<Session>();
  if (Status status = session->open(); !status) return status;
  session_ = std::move(session);
  return Status::success();
}

Focus XTestKeyboard::focus() {
  return {};
}

HeldKeys XTestKeyboard::held_keys() {
  return {};
}

Status XTestKeyboard::prepare(std::span<const KeyEvent> all_events) {
  if (!session_) return Status::failure(u"Typing was not set up before preparing keys.");
  return session_->prepare(all_events);
}

std::optional<StopReason> XTestKeyboard::interruption() {
  return std::nullopt;
}

Keyboard::Sent XTestKeyboard::send(std::span<const KeyEvent> events) {
  if (!session_) return {0, Status::failure(u"Typing was not set up before sending keys.")};
  return session_->send(events);
}

void XTestKeyboard::end() {
  session_.reset();
}

}  // namespace tavrino
