// SPDX-License-Identifier: MIT
#include "playback/typekeys.h"

#include <algorithm>
#include <cstddef>
#include <span>
#include <vector>

#include "base/text.h"
#include "playback/key_string.h"

namespace tavrino {

namespace {

// The events of every entry, one after the other, and where each entry ends,
// so that a failure can be told in whole entries.
struct Playback {
  KeyEvents events;
  std::vector<std::size_t> entry_ends;
};

Status build(const ResultSheet& sheet, Playback& playback) {
  if (Status fits = check_itemcount(sheet); !fits) return fits;
  const int count = sheet.itemcount;
  for (int i = 0; i < count; ++i) {
    const std::u16string& value = sheet.itemvalue[static_cast<std::size_t>(i)];
    ParsedKeys parsed = parse_key_string(value);
    if (parsed.error) {
      return Status::failure(u"Entry " + to_text(i + 1) + u" (" + quoted(value) +
                             u") cannot be typed, at character " +
                             to_text(static_cast<std::int64_t>(parsed.error->position) + 1) +
                             u": " + parsed.error->explanation);
    }
    playback.events.insert(playback.events.end(), parsed.events.begin(), parsed.events.end());
    playback.events.push_back(KeyEvent::of_key(Key::tab));
    playback.entry_ends.push_back(playback.events.size());
  }
  return Status::success();
}

// Follows which modifiers the delivered events leave held down.
void track(std::span<const KeyEvent> delivered, std::vector<Modifier>& held) {
  for (const KeyEvent& event : delivered) {
    if (event.type == KeyEvent::Type::press) {
      held.push_back(event.modifier);
    } else if (event.type == KeyEvent::Type::release) {
      const auto it = std::find(held.rbegin(), held.rend(), event.modifier);
      if (it != held.rend()) held.erase(std::next(it).base());
    }
  }
}

}  // namespace

Status playback_events(const ResultSheet& sheet, KeyEvents& events) {
  events.clear();
  Playback playback;
  Status status = build(sheet, playback);
  if (status) events = std::move(playback.events);
  return status;
}

Status typekeys(const ResultSheet& sheet, Keyboard& keyboard) {
  Playback playback;
  if (Status status = build(sheet, playback); !status) return status;
  if (playback.events.empty()) return Status::success();

  if (Status status = keyboard.begin(playback.events); !status) return status;

  const std::span<const KeyEvent> all(playback.events);
  const std::size_t entries = playback.entry_ends.size();
  std::size_t from = 0;
  for (std::size_t entry = 0; entry < entries; ++entry) {
    const std::span<const KeyEvent> part = all.subspan(from, playback.entry_ends[entry] - from);
    const Keyboard::Sent sent = keyboard.send(part);
    if (sent.delivered >= part.size()) {
      from = playback.entry_ends[entry];
      continue;
    }

    // A modifier left down would turn the user's next keystrokes into
    // shortcuts in the target program, so let go of each one, even though
    // the keyboard has just failed.
    std::vector<Modifier> held;
    track(part.first(sent.delivered), held);
    for (auto it = held.rbegin(); it != held.rend(); ++it) {
      const KeyEvent release = KeyEvent::release_of(*it);
      (void)keyboard.send(std::span<const KeyEvent>(&release, 1));
    }
    keyboard.end();

    std::u16string reason = sent.status.message();
    if (reason.empty()) reason = u"the keyboard did not take the remaining keys.";
    return Status::failure(u"Typing stopped after " + to_text(static_cast<std::int64_t>(entry)) +
                           u" of " + to_text(static_cast<std::int64_t>(entries)) +
                           (entries == 1 ? u" entry: " : u" entries: ") + reason);
  }
  keyboard.end();
  return Status::success();
}

}  // namespace tavrino
