// SPDX-License-Identifier: MIT
#include "platform/wayland/virtual_keyboard.h"

#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <wayland-client.h>

#include "platform/posix/read_answers.h"
#include "platform/posix/runtime_lock.h"
#include "platform/posix/server_queues.h"
#include "platform/wayland/virtual_keymap.h"
#include "platform/wayland/wayland_display.h"
#include "platform/xkb/key_messages.h"
#include "platform/xkb/modifier_tracker.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"

namespace tavrino {

namespace {

// How long the compositor and the focused program get to take a new keymap
// before the first key on it: without the wait the first key was sometimes
// lost.
constexpr std::chrono::milliseconds kKeymapSettle{100};

// Where the compositor's clients cannot be looked at, how long the program
// the keys go to is given for each event before it counts as read: 500 a
// second. foot, with three busy loops a core beside it, read 3,600 to
// 12,500 a second.
constexpr std::chrono::microseconds kPacePerEvent{2000};
// How often the clients are looked at while an answer is waited for.
constexpr std::chrono::milliseconds kLookEvery{1};

constexpr std::uint32_t kKeymapFormatXkb = 1;  // WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1
constexpr std::uint32_t kReleased = 0;
constexpr std::uint32_t kPressed = 1;

const ModifierKeys kModifierKeys = {
    {kVirtualShiftKeycode, kVirtualShiftMask},
    {kVirtualControlKeycode, kVirtualControlMask},
    {kVirtualAltKeycode, kVirtualAltMask},
    {},  // no level 3: every character has a key with at most two levels
};

std::uint32_t mask_of(std::uint32_t keycode) {
  if (keycode == kVirtualShiftKeycode) return kVirtualShiftMask;
  if (keycode == kVirtualControlKeycode) return kVirtualControlMask;
  if (keycode == kVirtualAltKeycode) return kVirtualAltMask;
  return 0;
}

// A file that holds `text` and its terminating zero, for the compositor to
// map; -1 when none could be made.
int keymap_file(const std::string& text) {
  const int fd = memfd_create("tavrino-keymap", MFD_CLOEXEC);
  if (fd < 0) return -1;
  const char* at = text.c_str();
  std::size_t left = text.size() + 1;
  while (left > 0) {
    const ssize_t written = write(fd, at, left);
    if (written <= 0) {
      close(fd);
      return -1;
    }
    at += written;
    left -= static_cast<std::size_t>(written);
  }
  return fd;
}

}  // namespace

// One playback: the connection, the virtual keyboard, its keymaps and what
// it holds down.
class VirtualSession final : public KeyboardSession {
 public:
  VirtualSession() = default;
  VirtualSession(const VirtualSession&) = delete;
  VirtualSession& operator=(const VirtualSession&) = delete;
  ~VirtualSession() override { finish(); }

  Status open();
  bool lock() override {
    return lock_.take(
        RuntimeLock::path_for(std::getenv("XDG_RUNTIME_DIR"), std::getenv("WAYLAND_DISPLAY")));
  }
  Focus focus() override { return {}; }
  Status prepare(std::span<const KeyEvent> all_events) override;
  KeyboardWatch watch() override;
  Sent send(std::span<const KeyEvent> events) override;
  bool ask_taken() override;
  std::size_t answers(std::chrono::milliseconds wait) override;

 private:
  // The compositor's clients now; none when they cannot be looked at.
  ReadAnswers::Look look();
  void finish();
  Status upload(std::size_t keymap);
  Status type(const KeyEvent& event);
  void apply(const KeyActions& actions);
  void key(std::uint32_t keycode, bool down);
  std::uint32_t now_ms() const;

  WaylandDisplay wayland_;
  zwp_virtual_keyboard_v1* keyboard_ = nullptr;
  std::vector<VirtualKeymap> keymaps_;
  std::size_t current_ = 0;
  bool uploaded_ = false;
  ModifierTracker modifiers_{kModifierKeys};
  std::uint32_t mods_ = 0;  // the modifiers told to the compositor
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  RuntimeLock lock_;
  // Whether the program the keys went to has read them: told by what the
  // compositor's clients have not read yet, or by a pace where that cannot
  // be seen.
  ServerQueues queues_;
  bool looking_ = false;
  ReadAnswers reads_{kPacePerEvent};
  std::size_t unasked_ = 0;  // events sent since the last question
  bool sending_ = false;     // something was sent since the last question
  std::size_t asked_ = 0;
  std::size_t answered_ = 0;
};

Status VirtualSession::open() {
  if (Status connected = wayland_.connect(); !connected) return connected;
  if (!wayland_.offers_virtual_keyboard()) {
    return Status::failure(
        u"This Wayland compositor does not offer the virtual-keyboard protocol.");
  }
  keyboard_ = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(
      wayland_.virtual_keyboard_manager(), wayland_.seat());
  // Where the compositor's clients cannot be looked at (not Linux, or a
  // compositor whose open files are private), the pace stands in.
  looking_ = queues_.open(wl_display_get_fd(wayland_.display())).ok();
  return wayland_.roundtrip();
}

Status VirtualSession::prepare(std::span<const KeyEvent> all_events) {
  keymaps_ = plan_virtual_keymaps(all_events);
  if (Status status = upload(0); !status) return status;
  // A tap of Shift makes this keyboard the seat's active one before the
  // first character.
  key(kVirtualShiftKeycode, true);
  key(kVirtualShiftKeycode, false);
  if (Status status = wayland_.roundtrip(); !status) return status;
  std::this_thread::sleep_for(kKeymapSettle);
  return Status::success();
}

Status VirtualSession::upload(std::size_t keymap) {
  const std::string text = virtual_keymap_text(keymaps_[keymap]);
  const int fd = keymap_file(text);
  if (fd < 0) return Status::failure(u"The keymap for the virtual keyboard could not be written.");
  zwp_virtual_keyboard_v1_keymap(keyboard_, kKeymapFormatXkb, fd,
                                 static_cast<std::uint32_t>(text.size() + 1));
  close(fd);
  current_ = keymap;
  // A new keymap starts with no modifiers; those held stay held.
  zwp_virtual_keyboard_v1_modifiers(keyboard_, mods_, 0, 0, 0);
  if (uploaded_) {
    if (Status status = wayland_.roundtrip(); !status) return status;
    std::this_thread::sleep_for(kKeymapSettle);
    if (looking_) {
      // The compositor hands a new keymap to every program with a keyboard,
      // not only to the one the keys go to: a program that has stopped
      // reading would seem to owe the keys. So the clients are looked at
      // again once they have it, and the keys that follow tell the one they
      // go to (a keymap is uploaded only for a key sent next).
      if (Status status = wayland_.roundtrip(); !status) return status;
      reads_.before_send(look());
    }
  }
  uploaded_ = true;
  return Status::success();
}

KeyboardSession::Sent VirtualSession::send(std::span<const KeyEvent> events) {
  if (!sending_) {
    // The clients as they are before the keys of the next question: the one
    // the keys go to is told by what changes.
    if (looking_) (void)queues_.refresh();
    reads_.before_send(look());
    sending_ = true;
  }
  Status status = Status::success();
  std::size_t attempted = 0;
  for (const KeyEvent& event : events) {
    ++attempted;
    switch (event.type) {
      case KeyEvent::Type::press:
        apply(modifiers_.press(event.modifier));
        break;
      case KeyEvent::Type::release:
        apply(modifiers_.release(event.modifier));
        break;
      case KeyEvent::Type::character:
      case KeyEvent::Type::key:
        status = type(event);
        break;
    }
    if (!status) break;
  }
  apply(modifiers_.release_extra());
  if (Status confirmed = wayland_.roundtrip(); !confirmed) return {0, std::move(confirmed)};
  const std::size_t delivered = status ? attempted : attempted - 1;
  unasked_ += delivered;
  return {delivered, std::move(status)};
}

bool VirtualSession::ask_taken() {
  // The roundtrip at the end of send() returns once the compositor has
  // handled the keys, but it may hand our answer out before the key events
  // to the program they are for; a second one returns only after that.
  if (looking_) (void)wayland_.roundtrip();
  reads_.ask(unasked_, look(), std::chrono::steady_clock::now());
  unasked_ = 0;
  sending_ = false;
  ++asked_;
  return true;
}

std::size_t VirtualSession::answers(std::chrono::milliseconds wait) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    const auto now = std::chrono::steady_clock::now();
    const std::size_t answered = reads_.answered(look(), now);
    if (answered > answered_ || answered == asked_ || now >= deadline) {
      answered_ = answered;
      return answered;
    }
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(kLookEvery, deadline - now));
  }
}

KeyboardWatch VirtualSession::watch() {
  KeyboardWatch watch;
  watch.target_gone = reads_.client_gone();
  return watch;
}

ReadAnswers::Look VirtualSession::look() {
  ClientQueues queues;
  if (!looking_ || !queues_.look(queues)) return std::nullopt;
  return queues;
}

Status VirtualSession::type(const KeyEvent& event) {
  const KeySymbol keysym = keysym_of(event);
  std::optional<VirtualStroke> stroke = keymaps_[current_].find(keysym);
  if (!stroke) {
    // The next keymap that has it: the playback goes through them in order,
    // but a release sent after a stop may need an earlier one.
    for (std::size_t step = 1; step < keymaps_.size() && !stroke; ++step) {
      const std::size_t next = (current_ + step) % keymaps_.size();
      if (!keymaps_[next].find(keysym)) continue;
      apply(modifiers_.release_extra());
      if (Status status = upload(next); !status) return status;
      stroke = keymaps_[next].find(keysym);
    }
    if (!stroke) return no_key_for(event);
  }
  apply(modifiers_.stroke(stroke->shift ? kVirtualShiftMask : 0));
  key(stroke->keycode, true);
  key(stroke->keycode, false);
  return Status::success();
}

void VirtualSession::apply(const KeyActions& actions) {
  for (const KeyAction& action : actions) key(action.keycode, action.down);
}

void VirtualSession::key(std::uint32_t keycode, bool down) {
  // The protocol counts keys as evdev does, 8 below XKB.
  zwp_virtual_keyboard_v1_key(keyboard_, now_ms(), keycode - 8, down ? kPressed : kReleased);
  const std::uint32_t mask = mask_of(keycode);
  if (mask == 0) return;
  mods_ = down ? (mods_ | mask) : (mods_ & ~mask);
  zwp_virtual_keyboard_v1_modifiers(keyboard_, mods_, 0, 0, 0);
}

std::uint32_t VirtualSession::now_ms() const {
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now() - start_)
                                        .count());
}

void VirtualSession::finish() {
  if (keyboard_ != nullptr) {
    if (uploaded_) {
      apply(modifiers_.finish());
      if (mods_ != 0) {
        mods_ = 0;
        zwp_virtual_keyboard_v1_modifiers(keyboard_, 0, 0, 0, 0);
      }
    }
    zwp_virtual_keyboard_v1_destroy(keyboard_);
    keyboard_ = nullptr;
    (void)wayland_.roundtrip();
  }
  wayland_.disconnect();
}

Keyboard::Opened VirtualKeyboard::begin() {
  auto session = std::make_unique<VirtualSession>();
  if (Status status = session->open(); !status) return {nullptr, std::move(status)};
  return {std::move(session), Status::success()};
}

}  // namespace tavrino
