// SPDX-License-Identifier: MIT
#include "platform/x11/xtest_keyboard.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "base/text.h"
#include "platform/x11/keymap.h"
#include "platform/x11/keysyms.h"
#include "platform/x11/wm_ping.h"

#include "platform/x11/xlib.h"

namespace tavrino {

namespace {

using Clock = std::chrono::steady_clock;

// How long a program that does not answer _NET_WM_PING (xterm) is given to
// read the keystrokes sent so far before a keycode they were typed on is
// remapped. Such a program looks a keycode up when it reads the keystroke,
// and fetches a changed mapping only then; a keystroke still unread when
// the mapping changes again would come out as the new symbol, or as none.
constexpr std::chrono::milliseconds kSettle{250};
// How long to wait for the answer to a ping; a program that is busy for
// longer gets its mapping restored anyway, so that the user's keyboard never
// stays changed.
constexpr std::chrono::milliseconds kPingTimeout{3000};

const std::u16string kSessionHint = u" Loading and viewing data files works without one.";

std::u16string hex(char32_t c) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string digits;
  for (int shift = 20; shift >= 0; shift -= 4) {
    const char16_t digit = kDigits[(c >> shift) & 0xF];
    if (digit != u'0' || !digits.empty() || shift < 16) digits += digit;
  }
  return u"U+" + digits;
}

// A character as a message shows it: itself in quotes when it is visible,
// its code otherwise.
std::u16string shown(char32_t c) {
  if (c < 0x21 || c == 0x7f || (c >= 0x80 && c < 0xa0) || (c >= 0xd800 && c <= 0xdfff) ||
      c > 0x10ffff) {
    return hex(c);
  }
  std::u16string text;
  if (c > 0xffff) {
    text += static_cast<char16_t>(0xd800 + ((c - 0x10000) >> 10));
    text += static_cast<char16_t>(0xdc00 + ((c - 0x10000) & 0x3ff));
  } else {
    text += static_cast<char16_t>(c);
  }
  return quoted(text);
}

std::u16string shown(const KeyEvent& event) {
  if (event.type == KeyEvent::Type::key) return u"{" + key_name(event.key) + u"}";
  return shown(event.character);
}

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

Status untypeable(const KeyEvent& event) {
  return Status::failure(u"The character " + shown(event) +
                         u" cannot be typed: no key produces it.");
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
  // Routes X errors of this connection into the session while one of its
  // calls runs. Xlib's handlers are process-wide and the default ones end
  // the process; the previous handlers get every other connection's errors.
  // A lost connection also passes through the connection's exit handler
  // (set in open()), which Xlib otherwise uses to end the process too.
  class ErrorTrap {
   public:
    explicit ErrorTrap(Session* session)
        : outer_(current_),
          saved_(XSetErrorHandler(&ErrorTrap::on_error)),
          saved_io_(XSetIOErrorHandler(&ErrorTrap::on_io_error)) {
      current_ = session;
      if (saved_ != &ErrorTrap::on_error) forward_ = saved_;
      if (saved_io_ != &ErrorTrap::on_io_error) forward_io_ = saved_io_;
    }
    ~ErrorTrap() {
      XSetErrorHandler(saved_);
      XSetIOErrorHandler(saved_io_);
      current_ = outer_;
    }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

   private:
    static int on_error(Display* display, XErrorEvent* error) {
      if (current_ && display == current_->display_) {
        if (!current_->error_serial_) {
          current_->error_serial_ = error->serial;
          current_->error_code_ = error->error_code;
        }
        return 0;
      }
      return forward_ ? forward_(display, error) : 0;
    }

    static int on_io_error(Display* display) {
      if (current_ && display == current_->display_) {
        current_->lost_ = true;
        return 0;
      }
      return forward_io_ ? forward_io_(display) : 0;
    }

    static inline Session* current_ = nullptr;
    static inline XErrorHandler forward_ = nullptr;
    static inline XIOErrorHandler forward_io_ = nullptr;
    Session* outer_;
    XErrorHandler saved_;
    XIOErrorHandler saved_io_;
  };

  // A lost connection would otherwise end the process from inside Xlib.
  static void on_connection_lost(Display*, void* session) {
    static_cast<Session*>(session)->lost_ = true;
  }

  Status send_one(const KeyEvent& event);
  Status type(const KeyEvent& event);
  const ModifierKey& modifier_key(Modifier modifier) const;
  void key(unsigned keycode, bool down);
  void set_extra(unsigned wanted);
  void read_locks();

  bool is_spare(unsigned keycode) const;
  Status map_next_batch(KeySymbol needed);
  void change_mapping(const std::vector<unsigned>& keycodes,
                      const std::map<unsigned, std::vector<KeySym>>& symbols, int per_keycode);
  void restore_mapping();

  struct PingTarget {
    Window window = 0;
    Window root = 0;
  };
  bool wait_for_target();
  PingTarget ping_target(Window focus);
  bool ping(const PingTarget& target);

  void finish();

  Display* display_ = nullptr;
  bool lost_ = false;
  unsigned long error_serial_ = 0;
  int error_code_ = 0;

  Keymap keymap_;
  unsigned locked_ = 0;  // the locked modifiers the next keystroke meets

  // Modifiers the key string holds (press events without their release
  // yet), in the order pressed, and the masks they set.
  std::vector<std::pair<Modifier, unsigned>> held_;
  unsigned held_mask_ = 0;
  // Shift and level 3 pressed on our own for the characters that need them.
  unsigned extra_ = 0;

  // Keysyms that need a spare keycode, in the order they will be typed, and
  // the next one to come.
  std::vector<SpareUse> uses_;
  std::size_t next_use_ = 0;
  std::vector<unsigned> spare_;
  std::vector<SpareKey> assigned_;  // what each spare keycode has now
  // The mapping of every keycode changed, as it was before, for the restore.
  std::map<unsigned, std::vector<KeySym>> original_;
  int original_per_keycode_ = 0;
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
  XSetIOErrorExitHandler(display_, &Session::on_connection_lost, this);
  ErrorTrap trap(this);

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
  return keymap_.load(display_);
}

Status XTestKeyboard::Session::prepare(std::span<const KeyEvent> all_events) {
  ErrorTrap trap(this);
  locked_ = keymap_.locked_modifiers();

  // Walk the playback as send() will, following what Caps Lock and Num Lock
  // keys do to the locks, and collect what no key types. A keysym typed
  // while Shift is held, or locked (a Shift Lock), needs a keycode that gives
  // it with and without Shift.
  unsigned locked = locked_;
  const bool shift_locked = (locked_ & ShiftMask) != 0;
  int shift_presses = 0;
  std::unordered_set<KeySymbol> shifted;
  const KeyEvent* first_missing = nullptr;
  for (const KeyEvent& event : all_events) {
    if (event.type == KeyEvent::Type::press || event.type == KeyEvent::Type::release) {
      if (modifier_key(event.modifier).keycode == 0) {
        return Status::failure(u"The keyboard layout has no " +
                               std::u16string(modifier_name(event.modifier)) + u" key to hold.");
      }
      if (event.modifier == Modifier::shift) {
        shift_presses += event.type == KeyEvent::Type::press ? 1 : -1;
        shift_presses = std::max(shift_presses, 0);
      }
      continue;
    }
    const KeySymbol keysym = keysym_of(event);
    if (keysym == kNoSymbol) return untypeable(event);
    if (!find(keymap_, event, locked)) {
      uses_.push_back({keysym, false});
      if (shift_locked || shift_presses > 0) shifted.insert(keysym);
      if (first_missing == nullptr) first_missing = &event;
    }
    if (event.type == KeyEvent::Type::key && event.key == Key::capslock) {
      locked ^= keymap_.caps_lock_mask();
    } else if (event.type == KeyEvent::Type::key && event.key == Key::numlock) {
      locked ^= keymap_.num_lock_mask();
    }
  }
  for (SpareUse& use : uses_) {
    use.shifted = shifted.count(use.keysym) != 0;
  }
  spare_ = keymap_.spare_keycodes();
  assigned_.assign(spare_.size(), SpareKey{});
  if (uses_.empty()) return Status::success();
  if (spare_.empty()) {
    return Status::failure(u"The keyboard layout has no key for " + shown(*first_missing) +
                           u" and no free key code to put it on.");
  }
  if (Status status = map_next_batch(uses_.front().keysym); !status) return status;
  if (error_serial_ != 0 || lost_) {
    return Status::failure(
        u"The X server refused to set up keys for the characters that the "
        u"keyboard layout lacks.");
  }
  return Status::success();
}

Keyboard::Sent XTestKeyboard::Session::send(std::span<const KeyEvent> events) {
  if (lost_) return {0, Status::failure(u"The connection to the X server was lost.")};
  ErrorTrap trap(this);

  // The first request of every event, so that an error reported later can
  // be traced back to the event that caused it.
  std::vector<unsigned long> first_request;
  first_request.reserve(events.size() + 1);
  Status status = Status::success();
  for (const KeyEvent& event : events) {
    first_request.push_back(NextRequest(display_));
    status = send_one(event);
    if (!status || lost_ || error_serial_ != 0) break;
  }
  const std::size_t attempted = first_request.size();
  set_extra(0);
  first_request.push_back(NextRequest(display_));
  XSync(display_, 0);

  if (lost_) return {0, Status::failure(u"The connection to the X server was lost.")};
  std::size_t delivered = status ? attempted : attempted - 1;
  if (error_serial_ != 0) {
    // An event counts as delivered when all of its requests came before the
    // one the server refused.
    delivered = 0;
    while (delivered < attempted && first_request[delivered + 1] <= error_serial_) ++delivered;
    return {delivered, Status::failure(u"The X server refused a keystroke (error code " +
                                       to_text(error_code_) + u").")};
  }
  return {delivered, std::move(status)};
}

Status XTestKeyboard::Session::send_one(const KeyEvent& event) {
  switch (event.type) {
    case KeyEvent::Type::press: {
      set_extra(0);
      const ModifierKey& modifier = modifier_key(event.modifier);
      if (modifier.keycode == 0) {
        return Status::failure(u"The keyboard layout has no " +
                               std::u16string(modifier_name(event.modifier)) + u" key to hold.");
      }
      const bool down = std::any_of(held_.begin(), held_.end(),
                                    [&](const auto& held) { return held.first == event.modifier; });
      if (!down) key(modifier.keycode, true);
      held_.emplace_back(event.modifier, modifier.mask);
      held_mask_ |= modifier.mask;
      return Status::success();
    }
    case KeyEvent::Type::release: {
      set_extra(0);
      const auto it = std::find_if(held_.rbegin(), held_.rend(),
                                   [&](const auto& held) { return held.first == event.modifier; });
      // A release without its press (after a failed press) has nothing to do.
      if (it == held_.rend()) return Status::success();
      held_.erase(std::next(it).base());
      const bool still_held = std::any_of(held_.begin(), held_.end(), [&](const auto& held) {
        return held.first == event.modifier;
      });
      if (!still_held) key(modifier_key(event.modifier).keycode, false);
      held_mask_ = 0;
      for (const auto& held : held_) held_mask_ |= held.second;
      return Status::success();
    }
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
    if (spare_.empty()) {
      return Status::failure(u"The keyboard layout has no key for " + shown(event) + u".");
    }
    if (Status status = map_next_batch(keysym); !status) return status;
    stroke = find(keymap_, event, locked_);
    if (!stroke) {
      return Status::failure(u"The character " + shown(event) +
                             u" could not be put on a free key code.");
    }
  }
  if (is_spare(stroke->keycode)) {
    unsettled_ = true;
    if (next_use_ < uses_.size() && uses_[next_use_].keysym == keysym) ++next_use_;
  }

  // Add the Shift or AltGr the key needs, but never take away a modifier the
  // key string holds: "+a" is Shift with the key of "a".
  set_extra(stroke->modifiers & ~held_mask_);
  key(stroke->keycode, true);
  key(stroke->keycode, false);

  if (event.type == KeyEvent::Type::key &&
      (event.key == Key::capslock || event.key == Key::numlock)) {
    set_extra(0);
    read_locks();
  }
  return Status::success();
}

const ModifierKey& XTestKeyboard::Session::modifier_key(Modifier modifier) const {
  switch (modifier) {
    case Modifier::ctrl:
      return keymap_.control();
    case Modifier::alt:
      return keymap_.alt();
    case Modifier::shift:
      break;
  }
  return keymap_.shift();
}

void XTestKeyboard::Session::key(unsigned keycode, bool down) {
  XTestFakeKeyEvent(display_, keycode, down ? 1 : 0, CurrentTime);
}

// Puts our own Shift and level-3 presses into the state `wanted` asks for,
// leaving the ones already in that state alone so that a run of capitals is
// typed under one Shift press.
void XTestKeyboard::Session::set_extra(unsigned wanted) {
  for (const ModifierKey* modifier : {&keymap_.shift(), &keymap_.level3()}) {
    if (modifier->keycode == 0) continue;
    const bool want = (wanted & modifier->mask) != 0;
    const bool down = (extra_ & modifier->mask) != 0;
    if (want == down) continue;
    key(modifier->keycode, want);
    extra_ ^= modifier->mask;
  }
}

// What a lock key did depends on the layout's options (Caps Lock may be a
// Shift Lock, or no lock at all), so the server is asked rather than guessed.
void XTestKeyboard::Session::read_locks() {
  XkbStateRec state{};
  if (XkbGetState(display_, XkbUseCoreKbd, &state) == 0) locked_ = state.locked_mods;
}

bool XTestKeyboard::Session::is_spare(unsigned keycode) const {
  return std::find(spare_.begin(), spare_.end(), keycode) != spare_.end();
}

// Maps the next batch of missing keysyms onto the spare keycodes. Keysyms
// already on a spare keycode stay where they are; the others take keycodes
// whose keysyms the batch does not need.
Status XTestKeyboard::Session::map_next_batch(KeySymbol needed) {
  SpareBatch batch;
  if (next_use_ < uses_.size() && uses_[next_use_].keysym == needed) {
    batch = plan_spare_batch(uses_, next_use_, spare_.size());
  } else {
    // Something begin() did not foresee (a lock key that did not do what a
    // lock key does): just this keysym, on a keycode of its own.
    const SpareUse only[] = {{needed, true}};
    batch = plan_spare_batch(only, 0, spare_.size());
  }

  std::vector<SpareKey> pending;
  for (const SpareKey& key : batch.keys) {
    if (std::find(assigned_.begin(), assigned_.end(), key) == assigned_.end()) {
      pending.push_back(key);
    }
  }
  if (pending.empty()) return Status::success();

  std::vector<unsigned> changed;
  std::map<unsigned, std::vector<KeySym>> symbols;
  for (std::size_t slot = 0; slot < spare_.size() && !pending.empty(); ++slot) {
    const bool in_use =
        assigned_[slot] != SpareKey{} &&
        std::find(batch.keys.begin(), batch.keys.end(), assigned_[slot]) != batch.keys.end();
    if (in_use) continue;
    assigned_[slot] = pending.back();
    pending.pop_back();
    changed.push_back(spare_[slot]);
    symbols[spare_[slot]] = {assigned_[slot].level1, assigned_[slot].level2};
  }

  if (unsettled_) {
    set_extra(0);
    // Remapping a keycode the target has not read yet would turn its
    // keystroke into the new character: better to stop and say so.
    if (!wait_for_target()) {
      return Status::failure(
          u"The program with the focus did not take the keystrokes within " +
          to_text(kPingTimeout.count() / 1000) +
          u" seconds, so typing stopped before a key it had not read yet could change.");
    }
  }
  change_mapping(changed, symbols, 2);
  // The server now derives the key types of the new symbols (a letter gets
  // the alphabetic type, which Caps Lock acts on); reading them back lets
  // the same search that covers the layout find them.
  return keymap_.reload();
}

// One request per run of neighbouring keycodes: a request covers a range,
// and keycodes in between that are not ours must not be touched, since
// setting them through the core protocol would lose their XKB details.
void XTestKeyboard::Session::change_mapping(const std::vector<unsigned>& keycodes,
                                            const std::map<unsigned, std::vector<KeySym>>& symbols,
                                            int per_keycode) {
  if (original_per_keycode_ == 0) {
    int min_keycode = 0, max_keycode = 0;
    XDisplayKeycodes(display_, &min_keycode, &max_keycode);
    int per = 0;
    KeySym* all = XGetKeyboardMapping(display_, static_cast<KeyCode>(min_keycode),
                                      max_keycode - min_keycode + 1, &per);
    if (all == nullptr) return;
    for (const unsigned keycode : spare_) {
      const KeySym* first = all + (static_cast<int>(keycode) - min_keycode) * per;
      original_[keycode].assign(first, first + per);
    }
    original_per_keycode_ = per;
    XFree(all);
  }

  std::vector<unsigned> sorted = keycodes;
  std::sort(sorted.begin(), sorted.end());
  for (std::size_t i = 0; i < sorted.size();) {
    std::size_t j = i + 1;
    while (j < sorted.size() && sorted[j] == sorted[j - 1] + 1) ++j;
    std::vector<KeySym> run;
    for (std::size_t k = i; k < j; ++k) {
      const std::vector<KeySym>& keysyms = symbols.at(sorted[k]);
      run.insert(run.end(), keysyms.begin(), keysyms.end());
      run.resize((k - i + 1) * static_cast<std::size_t>(per_keycode), 0);
    }
    XChangeKeyboardMapping(display_, static_cast<int>(sorted[i]), per_keycode, run.data(),
                           static_cast<int>(j - i));
    i = j;
  }
}

void XTestKeyboard::Session::restore_mapping() {
  std::vector<unsigned> changed;
  for (std::size_t slot = 0; slot < assigned_.size(); ++slot) {
    if (assigned_[slot] != SpareKey{}) changed.push_back(spare_[slot]);
  }
  if (changed.empty()) return;
  change_mapping(changed, original_, original_per_keycode_);
  assigned_.assign(spare_.size(), SpareKey{});
}

// Returns once the focused program has taken everything sent so far, as far
// as that can be known from outside it: true when it answered a ping or
// cannot answer one (it then gets kSettle), false when it can but did not
// answer within kPingTimeout.
bool XTestKeyboard::Session::wait_for_target() {
  const Clock::time_point start = Clock::now();
  XSync(display_, 0);
  // The focused window may go away while it is asked about; what the server
  // says about that is no failure of the keystrokes.
  const unsigned long error_before = error_serial_;
  Window focus = 0;
  int revert_to = 0;
  XGetInputFocus(display_, &focus, &revert_to);
  const PingTarget target = ping_target(focus);
  const bool answered = target.window != 0 && ping(target);
  XSync(display_, 0);
  if (error_before == 0) error_serial_ = 0;
  if (!answered) std::this_thread::sleep_until(start + kSettle);
  unsettled_ = false;
  return answered || target.window == 0;
}

// The top-level window of the focused program when that program answers
// _NET_WM_PING, else no window. The focus may be on a child window, so the
// search goes up to the root. A window of this very process cannot answer
// while we wait, so it gets no ping either.
XTestKeyboard::Session::PingTarget XTestKeyboard::Session::ping_target(Window focus) {
  if (focus == 0 || focus == PointerRoot) return {};
  const Atom ping_atom = XInternAtom(display_, "_NET_WM_PING", 0);
  const Atom pid_atom = XInternAtom(display_, "_NET_WM_PID", 0);
  Window window = focus;
  for (int depth = 0; window != 0 && depth < 32; ++depth) {
    Atom* protocols = nullptr;
    int count = 0;
    bool answers = false;
    if (XGetWMProtocols(display_, window, &protocols, &count) != 0) {
      answers = std::find(protocols, protocols + count, ping_atom) != protocols + count;
      XFree(protocols);
    }
    if (answers) {
      Atom type = 0;
      int format = 0;
      unsigned long items = 0, after = 0;
      unsigned char* data = nullptr;
      bool ours = false;
      if (XGetWindowProperty(display_, window, pid_atom, 0, 1, 0, XA_CARDINAL, &type, &format,
                             &items, &after, &data) == Success &&
          data != nullptr) {
        ours = format == 32 && items == 1 &&
               *reinterpret_cast<unsigned long*>(data) == static_cast<unsigned long>(getpid());
      }
      if (data != nullptr) XFree(data);
      Window root = 0;
      int x = 0, y = 0;
      unsigned width = 0, height = 0, border = 0, depth = 0;
      if (ours ||
          XGetGeometry(display_, window, &root, &x, &y, &width, &height, &border, &depth) == 0) {
        return {};
      }
      return {window, root};
    }
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int child_count = 0;
    if (XQueryTree(display_, window, &root, &parent, &children, &child_count) == 0) return {};
    if (children != nullptr) XFree(children);
    if (parent == root) return {};
    window = parent;
  }
  return {};
}

// The ping is queued behind every keystroke sent before it, so its answer
// means the program has read those keystrokes and looked up their keycodes.
bool XTestKeyboard::Session::ping(const PingTarget& target) {
  return wm_ping(display_, target.window, target.root, kPingTimeout, [this] { return lost_; });
}

void XTestKeyboard::Session::finish() {
  if (display_ == nullptr) return;
  ErrorTrap trap(this);
  if (!lost_) {
    set_extra(0);
    for (auto it = held_.rbegin(); it != held_.rend(); ++it) {
      const auto same = [&](const auto& held) { return held.first == it->first; };
      // Release each modifier key once, however often it was pressed.
      if (std::find_if(std::next(it), held_.rend(), same) == held_.rend()) {
        key(modifier_key(it->first).keycode, false);
      }
    }
    held_.clear();
    held_mask_ = 0;
    XSync(display_, 0);
    // The user's keyboard is restored even when the target is too busy to
    // confirm; it must never stay changed.
    if (!lost_ && unsettled_) (void)wait_for_target();
    if (!lost_) {
      restore_mapping();
      XSync(display_, 0);
    }
  }
  XCloseDisplay(display_);
  display_ = nullptr;
}

XTestKeyboard::XTestKeyboard() = default;

XTestKeyboard::~XTestKeyboard() = default;

Status XTestKeyboard::begin(std::span<const KeyEvent> all_events) {
  session_.reset();
  auto session = std::make_unique<Session>();
  if (Status status = session->open(); !status) return status;
  if (Status status = session->prepare(all_events); !status) return status;
  session_ = std::move(session);
  return Status::success();
}

Keyboard::Sent XTestKeyboard::send(std::span<const KeyEvent> events) {
  if (!session_) return {0, Status::failure(u"Typing was not set up before sending keys.")};
  return session_->send(events);
}

void XTestKeyboard::end() {
  session_.reset();
}

}  // namespace tavrino
