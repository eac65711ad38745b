// SPDX-License-Identifier: MIT
// One playback at a time in the user's session: a named mutex that any
// tavrino takes before it types.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

namespace tavrino {

class PlaybackLock {
 public:
  explicit PlaybackLock(std::wstring name = L"Local\\tavrino.typing");
  ~PlaybackLock();
  PlaybackLock(const PlaybackLock&) = delete;
  PlaybackLock& operator=(const PlaybackLock&) = delete;
  // Takes the lock for the calling thread; false while another thread or
  // process holds it. Taking it twice from one thread is a mistake.
  bool acquire();
  void release();

 private:
  std::wstring name_;
  HANDLE mutex_ = nullptr;
};

// The message when another tavrino is typing.
std::u16string another_playback_message();

}  // namespace tavrino
