// SPDX-License-Identifier: MIT
// What a playback says: the reasons it gives for typing nothing or for
// stopping, and its status lines while it waits. The playback (typekeys.h)
// decides when each applies; the words are here. Entries are numbered from 1.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "base/status.h"
#include "playback/keyboard.h"

namespace tavrino {

// The status line while the keys go out.
inline constexpr std::u16string_view kTypingStatus = u"Typing - press Esc to stop";

// Why nothing was typed: the focus was on `kind` (own, none, elevated or
// secure) when typing would have started.
Status focus_refusal(Focus::Kind kind);

// Why typing stopped when the focus went to `kind` in the middle of it.
std::u16string focus_stop(Focus::Kind kind);

// Why nothing was typed while another tavrino types on the same desktop.
Status another_playback_refusal();

// Why nothing was typed: entry `entry`, `value`, has a character the
// keyboard cannot type, for `reason`.
Status untypable_refusal(std::size_t entry, std::u16string_view value, std::u16string_view reason);

// The status line while typing waits to start: for the user to let go of
// `held`, or (none held) for another program to let go of the keyboard.
std::u16string start_wait_status(const HeldKeys& held);

// Why nothing was typed when `held` (or, none held, another program's hold
// on the keyboard) was still there `waited` after the countdown ended.
Status start_wait_refusal(const HeldKeys& held, std::chrono::milliseconds waited);

// Why typing stopped when `disturbance` came in among the keys of entry
// `entry`.
std::u16string disturbance_stop(const Disturbance& disturbance, std::size_t entry);

// A wait in the middle of typing: the status line once it has gone on for a
// while, and why typing stopped when it went on for `limit`.
struct MidWait {
  std::u16string status;
  std::u16string gave_up;
};
// For another program's hold on the keyboard.
MidWait grabbed_wait(std::chrono::milliseconds limit);
// For the user to let go of `held`.
MidWait held_wait(const HeldKeys& held, std::chrono::milliseconds limit);
// For the target, `name` (empty when unknown), to take what was sent.
MidWait target_wait(std::u16string_view name, std::chrono::milliseconds limit);

// The status line while the target, `name`, takes the keys already sent
// after typing stopped.
std::u16string draining_status(std::u16string_view name);

// Why a stop gave up waiting on a target that took nothing for `limit`.
std::u16string target_silent(std::chrono::milliseconds limit);

// Why typing stopped when the keys still to come need keys the ones sent
// use, and the target cannot say when it has read those.
std::u16string blind_catch_up_stop();

// How far a playback that stopped got, in entries over the whole list.
struct StopTally {
  std::size_t entries = 0;  // in the list
  std::size_t taken = 0;    // taken in full by the target, from the first
  // The last entry whose keys were sent: those of entries taken + 1 to it
  // went out, but the target has not said it took them all.
  std::optional<std::size_t> last_sent;
  // Nothing sent is unaccounted for, but entry taken + 1 got part of its
  // value.
  bool partly_taken = false;
  std::u16string target;  // the target's name; empty when unknown
  bool target_gone = false;
};

// "Typing stopped after 3 of 5 entries: WHY", and which fields to check.
std::u16string stopped_text(const StopTally& tally, std::u16string_view why);

}  // namespace tavrino
