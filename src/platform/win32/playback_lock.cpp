// SPDX-License-Identifier: MIT
#include "platform/win32/playback_lock.h"

#include <utility>

namespace tavrino {

PlaybackLock::PlaybackLock(std::wstring name) : name_(std::move(name)) {}

PlaybackLock::~PlaybackLock() {
  release();
}

bool PlaybackLock::acquire() {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, name_.c_str());
  // Without the mutex there is no telling; typing goes ahead rather than
  // being refused for good.
  if (mutex == nullptr) return true;
  const DWORD waited = WaitForSingleObject(mutex, 0);
  // Abandoned: a tavrino ended while typing; the lock is free now.
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
    mutex_ = mutex;
    return true;
  }
  CloseHandle(mutex);
  return false;
}

void PlaybackLock::release() {
  if (mutex_ == nullptr) return;
  ReleaseMutex(mutex_);
  CloseHandle(mutex_);
  mutex_ = nullptr;
}

std::u16string another_playback_message() {
  return u"Another tavrino is typing at the moment, so nothing was typed. Wait until it has "
         u"finished (or press Esc to stop it), then press START again.";
}

}  // namespace tavrino
