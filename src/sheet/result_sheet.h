// SPDX-License-Identifier: MIT
// The ResultSheet: everything the last data files supplied. One instance lives
// for the whole run; each load overwrites only what its file supplies, so slots,
// texts and the count that a file does not reach keep their earlier contents.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"

namespace tavrino {

// The sheet has exactly this many name and value slots, indices 0 to 50.
inline constexpr int kSlotCount = 51;

// Joins the pieces of the names and values items of a data file.
inline constexpr std::u16string_view kListSeparator = u"_%_";

struct ResultSheet {
  // Independent of how many slots hold something: the view and playback go
  // over slots 0 to itemcount - 1 and nothing else.
  std::int16_t itemcount = 0;
  std::array<std::u16string, kSlotCount> itemname;
  std::array<std::u16string, kSlotCount> itemvalue;
  std::u16string classtext;
  std::u16string subjecttext;
  std::u16string examtext;
  std::u16string examnote;
  // The values are literal text, each character typed as itself (rows of a
  // spreadsheet), rather than key strings (a data file).
  bool literal = false;
  // For a sheet read from rows: the row that entry 1 came from (2 below a
  // header), so that messages name the row the user sees in the spreadsheet.
  // 0 for a data file.
  std::int32_t first_row = 0;

  bool operator==(const ResultSheet&) const = default;
};

// The entry counts the sheet can show and type: kLowestCount to kSlotCount.
// Above 51 there are no slots; for -32768 the last index, itemcount - 1, does
// not fit 16 bits.
inline constexpr std::int32_t kLowestCount = -32767;
inline bool count_fits(std::int32_t count) {
  return count >= kLowestCount && count <= kSlotCount;
}

// Success when the sheet's itemcount fits, else the failure that says so. The
// reader refuses such counts, so this guards a sheet filled some other way.
Status check_itemcount(const ResultSheet& sheet);

// The sheet holds data when its exam note is not empty; the view decides on
// this alone.
inline bool holds_data(const ResultSheet& sheet) {
  return !sheet.examnote.empty();
}

// Number of elements of a list (upper bound - lower bound + 1).
std::int32_t arraycount(const std::vector<std::u16string>& list);

// Splits an item at every "_%_", matched exactly. Empty pieces are kept
// ("a_%__%_b" gives "a", "", "b"; "_%_a" gives "", "a"); an empty item gives
// no pieces at all.
std::vector<std::u16string> split_list(std::u16string_view item);

}  // namespace tavrino
