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
#include "platform/wayland/virtual_typing.h"
#include "platform/wayland/wayland_display.h"
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

// One playback: the connection, the virtual keyboard, and what the program
// the keys go to has read. What to send is VirtualTyping's.
class VirtualSession final : public KeyboardSession, private VirtualKeyboardOutput {
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
  Status keymap(const VirtualKeymap& keymap, std::uint32_t mods, bool first) override;
  void key(std::uint32_t keycode, bool down) override;
  void modifiers(std::uint32_t mods) override;
  std::uint32_t now_ms() const;

  WaylandDisplay wayland_;
  zwp_virtual_keyboard_v1* keyboard_ = nullptr;
  VirtualTyping typing_{*this};
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
  if (Status status = typing_.begin(all_events); !status) return status;
  // A tap of Shift makes this keyboard the seat's active one before the
  // first character.
  typing_.tap_shift();
  if (Status status = wayland_.roundtrip(); !status) return status;
  std::this_thread::sleep_for(kKeymapSettle);
  return Status::success();
}

Status VirtualSession::keymap(const VirtualKeymap& keymap, std::uint32_t mods, bool first) {
  const std::string text = virtual_keymap_text(keymap);
  const int fd = keymap_file(text);
  if (fd < 0) return Status::failure(u"The keymap for the virtual keyboard could not be written.");
  zwp_virtual_keyboard_v1_keymap(keyboard_, kKeymapFormatXkb, fd,
                                 static_cast<std::uint32_t>(text.size() + 1));
  close(fd);
  zwp_virtual_keyboard_v1_modifiers(keyboard_, mods, 0, 0, 0);
  if (!first) {
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
    status = typing_.send(event);
    if (!status) break;
  }
  typing_.release_extra();
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

void VirtualSession::key(std::uint32_t keycode, bool down) {
  // The protocol counts keys as evdev does, 8 below XKB.
  zwp_virtual_keyboard_v1_key(keyboard_, now_ms(), keycode - 8, down ? kPressed : kReleased);
}

void VirtualSession::modifiers(std::uint32_t mods) {
  zwp_virtual_keyboard_v1_modifiers(keyboard_, mods, 0, 0, 0);
}

std::uint32_t VirtualSession::now_ms() const {
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now() - start_)
                                        .count());
}

void VirtualSession::finish() {
  if (keyboard_ != nullptr) {
    typing_.finish();
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
