// SPDX-License-Identifier: MIT
#include "playback/playback_messages.h"

#include <vector>

#include "base/text.h"

namespace tavrino {

namespace {

std::u16string number(std::size_t n) {
  return to_text(static_cast<std::int64_t>(n));
}

std::u16string count_of(std::size_t n, std::u16string_view one, std::u16string_view many) {
  return number(n) + u" " + std::u16string(n == 1 ? one : many);
}

// "entry 4", "entries 4 and 5", "entries 4 to 9".
std::u16string entries_text(std::size_t first, std::size_t last) {
  if (first == last) return u"entry " + number(first);
  return u"entries " + number(first) + (last == first + 1 ? u" and " : u" to ") + number(last);
}

std::u16string seconds_text(std::chrono::milliseconds time) {
  return to_text(std::chrono::duration_cast<std::chrono::seconds>(time).count());
}

std::u16string program_or(std::u16string_view name, std::u16string_view otherwise) {
  return std::u16string(name.empty() ? otherwise : name);
}

}  // namespace

std::u16string held_keys_text(const HeldKeys& keys) {
  // By HeldKey.
  static constexpr std::u16string_view kNames[] = {u"Shift", u"Ctrl", u"Alt", u"AltGr",
                                                   u"the Windows (Super) key"};
  std::vector<std::u16string> names;
  for (const HeldKey key : keys) names.emplace_back(kNames[static_cast<std::size_t>(key)]);
  return listed(names);
}

Status focus_refusal(Focus::Kind kind) {
  if (kind == Focus::Kind::elevated) {
    return Status::failure(
        u"Nothing was typed because the window with the focus runs as administrator, and "
        u"Windows does not let tavrino type into it. Start tavrino as administrator too, or use "
        u"the program without administrator rights.");
  }
  if (kind == Focus::Kind::secure) {
    return Status::failure(
        u"Nothing was typed because the screen is locked or Windows is asking for permission; "
        u"unlock it or answer the prompt, then press START again.");
  }
  const std::u16string_view where = kind == Focus::Kind::own
                                        ? u"tavrino's own window had the keyboard focus"
                                        : u"no window had the keyboard focus";
  return Status::failure(u"Nothing was typed because " + std::u16string(where) +
                         u" when the countdown ended; press START, then click into the first "
                         u"field of the other program's form before the countdown runs out.");
}

std::u16string focus_stop(Focus::Kind kind) {
  if (kind == Focus::Kind::elevated) {
    return u"the keyboard focus went to a window that runs as administrator, which Windows does "
           u"not let tavrino type into.";
  }
  if (kind == Focus::Kind::secure)
    return u"the screen was locked, or Windows asked for permission.";
  return u"the keyboard focus moved away from the window typing started in.";
}

Status another_playback_refusal() {
  return Status::failure(
      u"Another tavrino is typing on this display; nothing was typed. Press START again once it "
      u"has finished.");
}

Status untypable_refusal(std::size_t entry, std::u16string_view value, std::u16string_view reason) {
  return Status::failure(u"Nothing was typed because entry " + number(entry) + u" (" +
                         quoted(value) + u") cannot be typed: " + std::u16string(reason));
}

std::u16string start_wait_status(const HeldKeys& held) {
  return held.empty() ? u"Another program holds the keyboard - typing starts once it lets go"
                      : u"Let go of " + held_keys_text(held) + u" to start typing";
}

Status start_wait_refusal(const HeldKeys& held, std::chrono::milliseconds waited) {
  const std::u16string seconds = seconds_text(waited);
  if (held.empty()) {
    return Status::failure(
        u"Nothing was typed because another program holds the keyboard (an open menu, a "
        u"launcher or a screen lock) " +
        seconds + u" seconds after the countdown ended; close it, then press START again.");
  }
  const std::u16string keys = held_keys_text(held) + (held.size() == 1 ? u" was" : u" were");
  return Status::failure(u"Nothing was typed because " + keys + u" still held down " + seconds +
                         u" seconds after the countdown ended; let go of every key before it "
                         u"runs out.");
}

std::u16string disturbance_stop(const Disturbance& disturbance, std::size_t entry) {
  const std::u16string n = number(entry);
  switch (disturbance.kind) {
    case Disturbance::Kind::key:
      return disturbance.key + u" was pressed on the keyboard while entry " + n +
             u" was being typed, so its field may not hold what was written; check it.";
    case Disturbance::Kind::click:
      return u"a mouse button was pressed while entry " + n +
             u" was being typed, which may have moved the cursor; check that field and the ones "
             u"after it.";
    case Disturbance::Kind::layout:
      return u"the keyboard layout changed while entry " + n +
             u" was being typed, so its field may not hold what was written; check it.";
    case Disturbance::Kind::grab:
      return u"another program took the keyboard (a menu, a launcher or a screen lock) while "
             u"entry " +
             n + u" was being typed, and some of its keys went there; check its field.";
  }
  return {};
}

MidWait grabbed_wait(std::chrono::milliseconds limit) {
  return {u"Another program holds the keyboard - typing goes on once it lets go",
          u"another program held the keyboard for " + seconds_text(limit) + u" seconds."};
}

MidWait held_wait(const HeldKeys& held, std::chrono::milliseconds limit) {
  return {u"Let go of " + held_keys_text(held) + u" - typing goes on then",
          held_keys_text(held) + u" stayed held down for " + seconds_text(limit) + u" seconds."};
}

MidWait target_wait(std::u16string_view name, std::chrono::milliseconds limit) {
  return {u"Waiting for " + program_or(name, u"the program") + u" to catch up - press Esc to stop",
          program_or(name, u"the program with the focus") + u" took no keys for " +
              seconds_text(limit) + u" seconds."};
}

std::u16string draining_status(std::u16string_view name) {
  return u"Waiting for " + program_or(name, u"the program") +
         u" to take the keys already sent - press Esc to give up";
}

std::u16string target_silent(std::chrono::milliseconds limit) {
  return u"the program with the focus took no keys for " + seconds_text(limit) + u" seconds.";
}

std::u16string blind_catch_up_stop() {
  return u"the program with the focus cannot say when it has read the keys sent, and the "
         u"characters still to come need keys that those are using.";
}

std::u16string stopped_text(const StopTally& tally, std::u16string_view why) {
  std::u16string text = u"Typing stopped after " + number(tally.taken) + u" of " +
                        count_of(tally.entries, u"entry", u"entries") + u": " + std::u16string(why);
  if (tally.last_sent) {
    // Sent, but the target has not said it took them: they may still come,
    // or be lost.
    const std::size_t last = *tally.last_sent;
    text += u" The keys of " + entries_text(tally.taken + 1, last) + u" were sent, but " +
            program_or(tally.target, u"the program") +
            (tally.target_gone ? u" was closed before it took them all"
                               : u" has not taken them all yet") +
            u"; check " + (last == tally.taken + 1 ? u"that field." : u"those fields.");
  } else if (tally.partly_taken) {
    text += u" Entry " + number(tally.taken + 1) + u" got only part of its value.";
  }
  return text;
}

}  // namespace tavrino
