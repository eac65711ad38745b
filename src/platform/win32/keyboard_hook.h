// SPDX-License-Identifier: MIT
// The low-level keyboard hook, on a thread of its own. Windows calls such a
// hook through the message queue of the thread that set it, before the key
// goes on to the window with the focus, and passes the key on without the
// hook's word when the hook answers late (and, after a few such times, drops
// the hook). So that thread does nothing but wait for messages, and the hook
// only notes each key in a queue for the playback to read, and keeps the
// user's Esc from the window it was meant for.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <chrono>
#include <vector>

#include "platform/win32/hook_key.h"

namespace tavrino {

// One hook at a time in a process: Windows tells a low-level hook nothing of
// who set it, so what it notes is kept where any hook can reach it.
class KeyboardHook {
 public:
  KeyboardHook() = default;
  ~KeyboardHook() { stop(); }
  KeyboardHook(const KeyboardHook&) = delete;
  KeyboardHook& operator=(const KeyboardHook&) = delete;

  // Sets the hook; false when Windows refuses it. What an earlier hook noted
  // and nobody took is dropped.
  bool start();
  // Removes the hook and ends its thread; nothing after that is noted.
  void stop();
  // Moves the keys noted since the last call to the end of `keys`, in order.
  void take(std::vector<HookKey>& keys);
  // Waits up to `most` for the hook to note another key.
  void wait(std::chrono::milliseconds most);

 private:
  HANDLE thread_ = nullptr;
  DWORD thread_id_ = 0;
};

}  // namespace tavrino
