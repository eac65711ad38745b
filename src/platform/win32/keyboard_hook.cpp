// SPDX-License-Identifier: MIT
#include "platform/win32/keyboard_hook.h"

#include <utility>

namespace tavrino {
namespace {

// What the hook noted and the playback has not taken yet, under `noted_lock`.
SRWLOCK noted_lock = SRWLOCK_INIT;
std::vector<HookKey>* noted = nullptr;
HANDLE noted_more = nullptr;  // set whenever a key is noted

LRESULT CALLBACK keyboard_hook(int code, WPARAM message, LPARAM lparam) {
  if (code == HC_ACTION) {
    const auto& key = *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lparam);
    AcquireSRWLockExclusive(&noted_lock);
    if (noted != nullptr) noted->push_back({message, key});
    ReleaseSRWLockExclusive(&noted_lock);
    SetEvent(noted_more);
    // The Esc was meant for tavrino; the target must not close a dialog or
    // clear a field because of it.
    if (is_users_escape(message, key)) return 1;
  }
  return CallNextHookEx(nullptr, code, message, lparam);
}

DWORD WINAPI hook_thread(void* ready) {
  MSG message;
  PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // the queue, for WM_QUIT
  HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, &keyboard_hook, GetModuleHandleW(nullptr), 0);
  SetEvent(static_cast<HANDLE>(ready));
  if (hook == nullptr) return 1;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
  }
  UnhookWindowsHookEx(hook);
  return 0;
}

}  // namespace

bool KeyboardHook::start() {
  stop();
  if (noted_more == nullptr) noted_more = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (noted_more == nullptr) return false;
  AcquireSRWLockExclusive(&noted_lock);
  if (noted == nullptr) noted = new std::vector<HookKey>();
  noted->clear();
  ReleaseSRWLockExclusive(&noted_lock);
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (ready == nullptr) return false;
  thread_ = CreateThread(nullptr, 0, &hook_thread, ready, 0, &thread_id_);
  if (thread_ != nullptr) WaitForSingleObject(ready, INFINITE);
  CloseHandle(ready);
  if (thread_ == nullptr) return false;
  // A thread that has ended already could not set its hook.
  if (WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0) {
    CloseHandle(thread_);
    thread_ = nullptr;
    return false;
  }
  return true;
}

void KeyboardHook::stop() {
  if (thread_ == nullptr) return;
  PostThreadMessageW(thread_id_, WM_QUIT, 0, 0);
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  thread_ = nullptr;
}

void KeyboardHook::take(std::vector<HookKey>& keys) {
  AcquireSRWLockExclusive(&noted_lock);
  if (noted != nullptr) {
    keys.insert(keys.end(), noted->begin(), noted->end());
    noted->clear();
  }
  ReleaseSRWLockExclusive(&noted_lock);
}

void KeyboardHook::wait(std::chrono::milliseconds most) {
  // Handles no messages: a message handled here would run the window's code
  // in the middle of a playback step.
  if (noted_more != nullptr) WaitForSingleObject(noted_more, static_cast<DWORD>(most.count()));
}

}  // namespace tavrino
