// SPDX-License-Identifier: MIT
// Keystrokes through SendInput, to the window that has the keyboard focus.
// The records each key event becomes are the translator's (see
// input_translator.h); this is the session that sends them and watches what
// becomes of them.
//
// Before it types, the session checks that the target's layout has a key
// for every character that needs one, so that a refusal comes before the
// first key. Around a playback it switches Caps Lock off (it would turn the
// case of every letter typed as a key) and on again at the end, and lets go
// of every key it pressed on every way out, also when the console it is
// attached to closes. While it types, the keyboard hook tells it, in order,
// which of its keys went through and what the user did in between (see
// hook_watch.h).
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/win32/desktop.h"
#include "playback/keyboard.h"

namespace tavrino {

struct SendInputOptions {
  bool unicode_only = false;  // every character as a Unicode packet
  // The clock the keyboard's own waits go by (a test's own, in tests).
  std::function<std::chrono::steady_clock::time_point()> now = &std::chrono::steady_clock::now;
};

// The Keyboard over SendInput, on `desktop`, which outlives it.
class SendInputKeyboard final : public Keyboard {
 public:
  using Options = SendInputOptions;

  explicit SendInputKeyboard(Desktop& desktop, Options options = {})
      : desktop_(desktop), options_(std::move(options)) {}

  // A session on the desktop: it answers from the foreground window and the
  // keyboard hook. Never fails.
  Opened begin() override;

 private:
  Desktop& desktop_;
  Options options_;
};

// The message for keystrokes that Windows did not take, and for those it
// did not take because the input went to a secure desktop (the lock screen,
// a UAC prompt).
std::u16string blocked_input_message();
// The message for keystrokes Windows did not take because the session was
// locked or a secure desktop (a UAC prompt, Ctrl+Alt+Del) took the input.
std::u16string secure_desktop_message();

// "Notepad" of "marks.txt - Notepad": programs put their own name last in
// the title. A name of another shape is kept whole, up to a length a status
// line can show, with what would disguise it made visible.
std::u16string program_name(std::u16string_view title);

}  // namespace tavrino
