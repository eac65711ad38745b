// SPDX-License-Identifier: MIT
// After typing, what each field holds is compared with what its entry typed,
// and the user is told which fields differ. A field that cannot be read is
// "not checked", never "differs": a warning must only ever name a field that
// was looked at.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "playback/field_reader.h"
#include "playback/key_event.h"

namespace tavrino {

// The text that `events` leave in an empty field: their characters, an Enter
// as a line break. Nothing when they do more than type text (a named key
// such as Tab or an arrow, a modifier held), since what the field holds then
// cannot be foretold.
std::optional<std::u16string> typed_text(std::span<const KeyEvent> events);

// An entry that was typed, and the field it went into.
struct TypedEntry {
  std::size_t number = 0;  // from 1
  std::u16string name;
  std::optional<std::u16string> typed;  // as typed_text gives it
  std::optional<FieldHandle> field;     // nothing when the reader named none
};

enum class Verdict : std::uint8_t { matches, differs, not_checked };

// Whether `held` is what `typed` should have left. Line ends count alike
// whether CR LF, CR or LF; a masked field is compared by its length in
// characters. Not checked when nothing was typed (a field left as it was is
// no finding), when the entry's keys did more than type, and when the field
// is unreadable.
Verdict compare_field(const std::optional<std::u16string>& typed, const FieldText& held);

struct CheckedEntry {
  TypedEntry entry;
  FieldText held;
  Verdict verdict = Verdict::not_checked;
};

// Reads the field of every entry that has one and compares it.
std::vector<CheckedEntry> read_back(std::span<const TypedEntry> entries, FieldReader& reader);

// What the user is told about a read-back.
struct ReadBackReport {
  // A short line for the window, always: "All 51 fields hold what was typed".
  std::u16string status;
  // When some fields differ: the message naming each, with what was typed
  // and what the field holds; empty otherwise.
  std::u16string differences;
  // When no field could be checked: the message that says so and how to
  // make fields readable (`how_to_read`); empty otherwise.
  std::u16string not_checked;
};

ReadBackReport report_read_back(std::span<const CheckedEntry> entries,
                                std::u16string_view how_to_read);

}  // namespace tavrino
