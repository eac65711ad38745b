// SPDX-License-Identifier: MIT
#include "window/entries.h"

#include <algorithm>

#include "base/text.h"
#include "playback/key_string.h"

namespace tavrino {

std::u16string entry_name(const ResultSheet& sheet, std::size_t entry) {
  std::u16string name = u"entry " + to_text(static_cast<std::int64_t>(entry) + 1);
  if (entry < sheet.itemname.size() && !sheet.itemname[entry].empty()) {
    name += u", " + sheet.itemname[entry];
  }
  return name;
}

std::u16string go_on_sentence(const ResultSheet& sheet, std::size_t next) {
  return u"Click into the field for " + entry_name(sheet, next) + u", then press START to go on.";
}

std::u16string go_on_status(const ResultSheet& sheet, std::size_t next) {
  return u"START goes on at " + entry_name(sheet, next);
}

Status check_rows_typable(const ResultSheet& sheet, std::size_t first) {
  if (!sheet.literal) return Status::success();
  const std::size_t count =
      std::clamp<std::int32_t>(sheet.itemcount, 0, static_cast<std::int32_t>(kSlotCount));
  for (std::size_t i = first; i < count; ++i) {
    const std::u16string& value = sheet.itemvalue[i];
    const ParsedKeys parsed = value_events(value, true);
    if (!parsed.error) continue;
    const std::int64_t row = sheet.first_row + static_cast<std::int64_t>(i);
    return Status::failure(u"Entry " + to_text(static_cast<std::int64_t>(i) + 1) + u" (row " +
                           to_text(row) + u", " + quoted(value) +
                           u") cannot be typed, at character " +
                           to_text(static_cast<std::int64_t>(parsed.error->position) + 1) + u": " +
                           parsed.error->explanation);
  }
  return Status::success();
}

}  // namespace tavrino
