// SPDX-License-Identifier: MIT
#include "platform/win32/keyboard_hook.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/win32/hook_watch.h"
#include "platform/win32/input_translator.h"

namespace tavrino {
namespace {

// The records go to whatever has the focus; the key they press is one no
// layout assigns, so nothing there reacts.
TEST(KeyboardHook, SeesEachRecordSentWithItsNumberInOrder) {
  KeyboardHook hook;
  ASSERT_TRUE(hook.start());
  constexpr std::uint32_t kFirst = 0xFFFFFFF0U;  // the whole lower half is kept
  std::vector<INPUT> records(6);
  for (std::size_t i = 0; i < records.size(); ++i) {
    records[i].type = INPUT_KEYBOARD;
    records[i].ki.wVk = kMenuMaskKey;
    records[i].ki.dwFlags = i % 2 == 0 ? 0 : KEYEVENTF_KEYUP;
    records[i].ki.dwExtraInfo = own_record_info(kFirst + static_cast<std::uint32_t>(i));
  }
  ASSERT_EQ(SendInput(static_cast<UINT>(records.size()), records.data(), sizeof(INPUT)),
            records.size());
  std::vector<HookKey> seen;
  for (int waits = 0; waits < 100 && seen.size() < records.size(); ++waits) {
    hook.wait(std::chrono::milliseconds(20));
    hook.take(seen);
  }
  hook.stop();
  std::vector<std::optional<std::uint32_t>> numbers;
  for (const HookKey& key : seen) numbers.push_back(own_record_number(key));
  std::vector<std::optional<std::uint32_t>> expected;
  for (std::uint32_t i = 0; i < records.size(); ++i) expected.emplace_back(kFirst + i);
  EXPECT_EQ(numbers, expected);
}

}  // namespace
}  // namespace tavrino
