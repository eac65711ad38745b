// SPDX-License-Identifier: MIT
#include "platform/win32/playback_lock.h"

#include <gtest/gtest.h>

#include <string>

namespace tavrino {
namespace {

// A thread that takes the lock, and either lets it go before it ends or
// ends while holding it.
struct LockThread {
  PlaybackLock* lock;
  bool release;
  bool acquired = false;
};

DWORD WINAPI take_lock(void* parameter) {
  auto* job = static_cast<LockThread*>(parameter);
  job->acquired = job->lock->acquire();
  if (job->release) job->lock->release();
  return 0;
}

bool acquire_on_other_thread(PlaybackLock& lock, bool release) {
  LockThread job{&lock, release};
  HANDLE thread = CreateThread(nullptr, 0, &take_lock, &job, 0, nullptr);
  if (thread == nullptr) return false;
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  return job.acquired;
}

TEST(PlaybackLock, LetsOnePlaybackTypeAtATime) {
  const std::wstring name = L"Local\\tavrino.test." + std::to_wstring(GetCurrentProcessId());
  PlaybackLock ours(name);
  PlaybackLock others(name);
  ASSERT_TRUE(ours.acquire());
  EXPECT_FALSE(acquire_on_other_thread(others, true)) << "taken while ours holds it";
  ours.release();
  EXPECT_TRUE(acquire_on_other_thread(others, true));
  // A tavrino that ended while typing leaves the lock abandoned, not held.
  EXPECT_TRUE(acquire_on_other_thread(others, false));
  EXPECT_TRUE(ours.acquire());
  ours.release();
}

}  // namespace
}  // namespace tavrino
