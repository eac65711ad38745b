// SPDX-License-Identifier: MIT
#include "sheet/result_sheet.h"

#include <limits>

#include "base/text.h"

namespace tavrino {

Status check_itemcount(const ResultSheet& sheet) {
  if (count_fits(sheet.itemcount)) return Status::success();
  return Status::failure(u"The sheet says it has " + to_text(sheet.itemcount) +
                         u" entries, but it holds at most " + to_text(kSlotCount) + u".");
}

std::int32_t arraycount(const std::vector<std::u16string>& list) {
  // A list longer than the 32-bit range cannot come from anything this
  // program reads, but saturating keeps the answer an upper bound regardless.
  constexpr auto kMax = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
  return static_cast<std::int32_t>(list.size() < kMax ? list.size() : kMax);
}

std::vector<std::u16string> split_list(std::u16string_view item) {
  std::vector<std::u16string> pieces;
  if (item.empty()) return pieces;
  std::size_t start = 0;
  while (true) {
    const std::size_t at = item.find(kListSeparator, start);
    if (at == std::u16string_view::npos) break;
    pieces.emplace_back(item.substr(start, at - start));
    start = at + kListSeparator.size();
  }
  pieces.emplace_back(item.substr(start));
  return pieces;
}

}  // namespace tavrino
