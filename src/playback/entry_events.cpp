// SPDX-License-Identifier: MIT
#include "playback/entry_events.h"

#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "base/text.h"
#include "playback/key_string.h"

namespace tavrino {

namespace {

// Where Caps Lock is written in `value`: the brace of its name.
std::size_t capslock_position(std::u16string_view value) {
  for (std::size_t at = 0; at < value.size(); ++at) {
    if (value.substr(at).starts_with(u"{") &&
        key_by_name(value.substr(at + 1, value.find(u'}', at + 1) - at - 1)) == Key::capslock) {
      return at;
    }
  }
  return value.find(u'{');
}

}  // namespace

Status entry_events(const ResultSheet& sheet, std::size_t first, EntryEvents& entries) {
  if (Status fits = check_itemcount(sheet); !fits) return fits;
  for (int i = static_cast<int>(std::min<std::size_t>(first, kSlotCount)); i < sheet.itemcount;
       ++i) {
    const std::u16string& value = sheet.itemvalue[static_cast<std::size_t>(i)];
    ParsedKeys parsed = value_events(value, sheet.literal);
    std::optional<std::u16string> problem;
    std::size_t position = 0;
    if (parsed.error) {
      problem = parsed.error->explanation;
      position = parsed.error->position;
    } else if (std::find(parsed.events.begin(), parsed.events.end(),
                         KeyEvent::of_key(Key::capslock)) != parsed.events.end()) {
      // Typing keeps Caps Lock off so that every value arrives as written,
      // and puts it back afterwards; a value that switches it would type the
      // rest of the playback in the wrong case.
      problem = u"Caps Lock cannot be typed; write the letters in the case they should have.";
      position = capslock_position(value);
    }
    if (problem) {
      return Status::failure(u"Entry " + to_text(i + 1) + u" (" + quoted(value) +
                             u") cannot be typed, at character " +
                             to_text(static_cast<std::int64_t>(position) + 1) + u": " + *problem);
    }
    entries.events.insert(entries.events.end(), parsed.events.begin(), parsed.events.end());
    entries.tab_at.push_back(entries.events.size());
    entries.events.push_back(KeyEvent::of_key(Key::tab));
  }
  return Status::success();
}

Status playback_events(const ResultSheet& sheet, KeyEvents& events) {
  events.clear();
  EntryEvents entries;
  Status status = entry_events(sheet, 0, entries);
  if (status) events = std::move(entries.events);
  return status;
}

std::vector<std::size_t> batch_ends(const std::vector<std::size_t>& tab_at, std::size_t most) {
  std::vector<std::size_t> ends;
  std::size_t at = 0;
  for (const std::size_t tab : tab_at) {
    for (; at < tab; at = std::min(at + most, tab)) ends.push_back(std::min(at + most, tab));
    ends.push_back(tab + 1);
    at = tab + 1;
  }
  return ends;
}

std::size_t entry_of(const std::vector<std::size_t>& tab_at, std::size_t event) {
  const auto it = std::lower_bound(tab_at.begin(), tab_at.end(), event);
  return it == tab_at.end() ? tab_at.size() - 1 : static_cast<std::size_t>(it - tab_at.begin());
}

std::size_t entry_begin(const std::vector<std::size_t>& tab_at, std::size_t entry) {
  return entry == 0 ? 0 : tab_at[entry - 1] + 1;
}

std::size_t entries_within(const std::vector<std::size_t>& tab_at, std::size_t events) {
  return static_cast<std::size_t>(std::lower_bound(tab_at.begin(), tab_at.end(), events) -
                                  tab_at.begin());
}

std::vector<TypedEntry> typed_entries(const ResultSheet& sheet, std::size_t first,
                                      const EntryEvents& entries) {
  std::vector<TypedEntry> typed;
  const std::span<const KeyEvent> events(entries.events);
  for (std::size_t i = 0; i < entries.tab_at.size(); ++i) {
    const std::size_t begin = entry_begin(entries.tab_at, i);
    typed.push_back({first + i + 1, sheet.itemname[first + i],
                     typed_text(events.subspan(begin, entries.tab_at[i] - begin)), std::nullopt});
  }
  return typed;
}

}  // namespace tavrino
