// SPDX-License-Identifier: MIT
// tavrino_type_values [--fail-after N] [--expect-no-keys-down] [--linger MS] VALUE...
//   Types the values as playback does (each value in the key-string syntax,
//   then Tab) into the focused window of $DISPLAY. --fail-after N makes the
//   keyboard refuse the event after the first N, as a keyboard that breaks
//   halfway would; --expect-no-keys-down checks afterwards that the server
//   has no key down; --linger MS stays MS milliseconds after typing before
//   the program ends, as the app stays open. Exit status: 0 typed, 1 playback failed (the message
//   on standard error), 2 a key was left down, 64 usage.
// tavrino_type_values --print-keymap
//   Prints the core keyboard mapping and modifier map, one keycode a line.
// tavrino_type_values --print-state
//   Prints the keys the server has down and the locked modifiers:
//   "down: 50 62" (nothing after the colon when none), "locked: 0x2".
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "base/text.h"
#include "platform/x11/xtest_keyboard.h"
#include "playback/typekeys.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
// Xlib's Status macro would rename tavrino::Status.
#undef Status

namespace {

using tavrino::Keyboard;
using tavrino::KeyEvent;

// Passes events on until `limit` have gone through, then refuses once, like
// a keyboard whose connection broke; later sends pass again, so that the
// playback can still release what it holds.
class BreakingSession final : public tavrino::KeyboardSession {
 public:
  BreakingSession(std::unique_ptr<KeyboardSession> inner, std::size_t limit)
      : inner_(std::move(inner)), left_(limit) {}

  bool lock() override { return inner_->lock(); }
  tavrino::Focus focus() override { return inner_->focus(); }
  tavrino::Status prepare(std::span<const KeyEvent> all_events) override {
    return inner_->prepare(all_events);
  }
  tavrino::KeyboardWatch watch() override { return inner_->watch(); }
  Sent send(std::span<const KeyEvent> events) override {
    if (broken_ || events.size() <= left_) {
      left_ -= broken_ ? 0 : events.size();
      return inner_->send(events);
    }
    broken_ = true;
    Sent sent = inner_->send(events.first(left_));
    if (sent.delivered < left_) return sent;
    return {left_, tavrino::Status::failure(u"the test broke the keyboard on purpose.")};
  }
  bool ask_taken() override { return inner_->ask_taken(); }
  std::size_t answers(std::chrono::milliseconds wait) override { return inner_->answers(wait); }

 private:
  std::unique_ptr<KeyboardSession> inner_;
  std::size_t left_;
  bool broken_ = false;
};

class BreakingKeyboard final : public Keyboard {
 public:
  BreakingKeyboard(Keyboard& inner, std::size_t limit) : inner_(inner), limit_(limit) {}
  Opened begin() override {
    Opened opened = inner_.begin();
    if (opened.session) {
      opened.session = std::make_unique<BreakingSession>(std::move(opened.session), limit_);
    }
    return opened;
  }

 private:
  Keyboard& inner_;
  std::size_t limit_;
};

int print_keymap() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 1;
  int min_keycode = 0, max_keycode = 0, per = 0;
  XDisplayKeycodes(display, &min_keycode, &max_keycode);
  KeySym* keysyms = XGetKeyboardMapping(display, static_cast<KeyCode>(min_keycode),
                                        max_keycode - min_keycode + 1, &per);
  for (int keycode = min_keycode; keycode <= max_keycode; ++keycode) {
    std::printf("keycode %d:", keycode);
    for (int i = 0; i < per; ++i) {
      std::printf(" 0x%lx", keysyms[(keycode - min_keycode) * per + i]);
    }
    std::printf("\n");
  }
  XFree(keysyms);
  XModifierKeymap* modifiers = XGetModifierMapping(display);
  for (int modifier = 0; modifier < 8; ++modifier) {
    std::printf("modifier %d:", modifier);
    for (int i = 0; i < modifiers->max_keypermod; ++i) {
      std::printf(" %d", modifiers->modifiermap[modifier * modifiers->max_keypermod + i]);
    }
    std::printf("\n");
  }
  XFreeModifiermap(modifiers);
  XCloseDisplay(display);
  return 0;
}

// The keycodes the server has down, as text ("" when none).
std::string keys_down() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return "(cannot open the display)";
  char bits[32] = {};
  XQueryKeymap(display, bits);
  XCloseDisplay(display);
  std::string down;
  for (int keycode = 0; keycode < 256; ++keycode) {
    if ((bits[keycode / 8] >> (keycode % 8)) & 1) down += " " + std::to_string(keycode);
  }
  return down;
}

int print_state() {
  const std::string down = keys_down();
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 1;
  XkbStateRec state{};
  XkbGetState(display, XkbUseCoreKbd, &state);
  XCloseDisplay(display);
  std::printf("down:%s\nlocked: 0x%x\n", down.c_str(), static_cast<unsigned>(state.locked_mods));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> values;
  long fail_after = -1;
  long linger_ms = 0;
  bool expect_no_keys_down = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--print-keymap") == 0) return print_keymap();
    if (std::strcmp(argv[i], "--print-state") == 0) return print_state();
    if (std::strcmp(argv[i], "--expect-no-keys-down") == 0) {
      expect_no_keys_down = true;
    } else if (std::strcmp(argv[i], "--fail-after") == 0 && i + 1 < argc) {
      fail_after = std::strtol(argv[++i], nullptr, 10);
    } else if (std::strcmp(argv[i], "--linger") == 0 && i + 1 < argc) {
      linger_ms = std::strtol(argv[++i], nullptr, 10);
    } else {
      values.emplace_back(argv[i]);
    }
  }
  if (values.empty() || values.size() > tavrino::kSlotCount) {
    std::fputs(
        "usage: tavrino_type_values [--fail-after N] [--expect-no-keys-down] [--linger MS] "
        "VALUE...\n",
        stderr);
    return 64;
  }

  tavrino::ResultSheet sheet;
  sheet.itemcount = static_cast<std::int16_t>(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    sheet.itemvalue[i] = tavrino::utf8_to_utf16(values[i]);
  }

  tavrino::XTestKeyboard xtest;
  BreakingKeyboard breaking(xtest, static_cast<std::size_t>(fail_after));
  Keyboard& keyboard = fail_after >= 0 ? static_cast<Keyboard&>(breaking) : xtest;
  const tavrino::Status status = tavrino::typekeys(sheet, keyboard);
  if (!status) std::fprintf(stderr, "%s\n", tavrino::utf16_to_utf8(status.message()).c_str());

  std::this_thread::sleep_for(std::chrono::milliseconds(linger_ms));
  if (expect_no_keys_down) {
    const std::string down = keys_down();
    if (!down.empty()) {
      std::fprintf(stderr, "keys still down:%s\n", down.c_str());
      return 2;
    }
  }
  return status ? 0 : 1;
}
