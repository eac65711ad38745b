// SPDX-License-Identifier: MIT
#include "sheet/cells.h"

#include <algorithm>

#include "base/text.h"
#include "sheet/data_file.h"

namespace tavrino {
namespace {

constexpr std::array<char16_t, 3> kDelimiters = {u'\t', u';', u','};

bool is_digit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

bool all_digits(std::u16string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), is_digit);
}

// A row that a comma splits like a decimal comma: "7,5", "-12,25".
bool decimal_split(const Row& row) {
  std::u16string_view whole = row.cells[0];
  if (!whole.empty() && (whole.front() == u'-' || whole.front() == u'+')) whole.remove_prefix(1);
  return row.count == 2 && all_digits(whole) && all_digits(row.cells[1]);
}

// The number of cells of the non-empty rows, when they all have the same.
std::optional<std::size_t> common_count(const Parsed& parsed) {
  std::optional<std::size_t> count;
  for (const Row& row : parsed.rows) {
    if (row.empty) continue;
    if (count && *count != row.count) return std::nullopt;
    count = row.count;
  }
  return count;
}

bool splits_some_row(const Parsed& parsed) {
  return std::any_of(parsed.rows.begin(), parsed.rows.end(),
                     [](const Row& row) { return !row.empty && row.count > 1; });
}

std::u16string_view delimiter_name(char16_t delimiter) {
  switch (delimiter) {
    case u'\t':
      return u"tab";
    case u';':
      return u"semicolon";
    default:
      return u"comma";
  }
}

}  // namespace

bool is_line_break(char16_t c) {
  return c == u'\r' || c == u'\n';
}

std::u16string row_text(std::size_t row) {
  return u"Row " + to_text(static_cast<std::int64_t>(row));
}

Parsed parse_cells(std::u16string_view text, char16_t delimiter) {
  Parsed out;
  Row row;
  std::size_t cell = 0;   // the cell being read in `row`
  std::size_t ended = 0;  // rows ended so far, kept or not
  const std::size_t n = text.size();
  std::size_t at = 0;
  const auto row_number = [&ended] { return ended + 1; };
  const auto ends_cell = [delimiter](char16_t c) {
    return (delimiter != 0 && c == delimiter) || is_line_break(c);
  };
  const auto fail = [&out](std::size_t in_row, std::u16string_view what) {
    if (!out.error) out.error = {in_row, std::u16string(what)};
  };
  const auto add = [&](std::u16string_view piece) {
    if (piece.empty()) return;
    row.empty = false;
    if (cell >= kKeptCells || out.rows.size() >= kKeptRows) return;
    std::u16string& target = row.cells[cell];
    if (target.size() + piece.size() > kMaxItemLength) {
      return fail(row_number(), u" has a cell of more than " +
                                    to_text(static_cast<std::int64_t>(kMaxItemLength)) +
                                    u" characters, more than a field takes.");
    }
    target.append(piece);
  };
  // Ends the row; false once there is no need to read on.
  const auto end_row = [&] {
    ++ended;
    row.count = cell + 1;
    if (out.rows.size() < kKeptRows) {
      out.rows.push_back(std::move(row));
    } else if (!row.empty) {
      out.more = true;
      return false;
    }
    row = Row{};
    cell = 0;
    return true;
  };

  while (at < n) {
    out.ended_in_line_break = false;
    // The start of a cell: blanks, then maybe an opening quote.
    std::size_t first = at;
    while (first < n && text[first] == u' ') ++first;
    if (first < n && text[first] == u'"') {
      const std::size_t opened_in = row_number();
      at = first + 1;
      while (true) {
        const std::size_t quote = text.find(u'"', at);
        if (quote == std::u16string_view::npos) {
          fail(opened_in, u" opens a quoted cell that has no closing quote.");
          add(text.substr(at));
          at = n;
          break;
        }
        add(text.substr(at, quote - at));
        at = quote + 1;
        if (at < n && text[at] == u'"') {  // a doubled quote is one quote
          add(u"\"");
          ++at;
          continue;
        }
        break;
      }
      while (at < n && text[at] == u' ') ++at;
      if (at < n && !ends_cell(text[at])) {
        fail(row_number(),
             u" has text after the closing quote of a cell; a quote inside a quoted cell is "
             u"written as two quotes (\"\").");
      }
    }
    // An unquoted cell, or what follows a closing quote by mistake.
    std::size_t end = at;
    while (end < n && !ends_cell(text[end])) ++end;
    add(text.substr(at, end - at));
    at = end;
    if (at == n) break;
    const char16_t c = text[at++];
    if (!is_line_break(c)) {
      ++cell;
      if (at == n) break;  // "a," ends in an empty cell
      continue;
    }
    if (c == u'\r' && at < n && text[at] == u'\n') ++at;
    out.ended_in_line_break = true;
    if (!end_row()) return out;
  }
  if (!out.ended_in_line_break) end_row();
  return out;
}

Split split_rows(std::u16string_view text, const std::u16string& in) {
  std::array<Parsed, kDelimiters.size()> tried;
  for (std::size_t i = 0; i < kDelimiters.size(); ++i) {
    tried[i] = parse_cells(text, kDelimiters[i]);
    const Parsed& parsed = tried[i];
    const std::optional<std::size_t> count = common_count(parsed);
    if (parsed.error || !count || *count < 2) continue;
    if (kDelimiters[i] == u',' &&
        std::all_of(parsed.rows.begin(), parsed.rows.end(),
                    [](const Row& row) { return row.empty || decimal_split(row); })) {
      const Row& first = *std::find_if(parsed.rows.begin(), parsed.rows.end(),
                                       [](const Row& row) { return !row.empty; });
      return {{},
              0,
              u"Every row of " + in + u" reads as one mark with a decimal comma (" +
                  tavrino::quoted(first.cells[0] + u"," + first.cells[1]) +
                  u") as well as two cells split at the comma; put a header row on top (Mark, "
                  u"or Name,Mark), or save the sheet with semicolons or tabs."};
    }
    return {std::move(tried[i]), kDelimiters[i], {}};
  }

  // No delimiter splits every row alike.
  const Parsed& commas = tried.back();
  const bool decimal_commas =
      !commas.error && !splits_some_row(tried[0]) && !splits_some_row(tried[1]) &&
      std::all_of(commas.rows.begin(), commas.rows.end(),
                  [](const Row& row) { return row.empty || row.count == 1 || decimal_split(row); });
  for (std::size_t i = 0; i < kDelimiters.size() && !decimal_commas; ++i) {
    const Parsed& parsed = tried[i];
    if (!splits_some_row(parsed)) continue;
    if (parsed.error) {
      return {{}, 0, row_text(parsed.error->first) + u" of " + in + parsed.error->second};
    }
    // The first row that differs from the first that is not empty.
    const auto first = std::find_if(parsed.rows.begin(), parsed.rows.end(),
                                    [](const Row& row) { return !row.empty; });
    const auto other = std::find_if(first, parsed.rows.end(), [&](const Row& row) {
      return !row.empty && row.count != first->count;
    });
    const auto number = [&](auto it) {
      return static_cast<std::int64_t>(it - parsed.rows.begin()) + 1;
    };
    const std::u16string name(delimiter_name(kDelimiters[i]));
    return {{},
            0,
            row_text(static_cast<std::size_t>(number(other))) + u" of " + in + u" has " +
                to_text(static_cast<std::int64_t>(other->count)) + u" cells where row " +
                to_text(number(first)) + u" has " +
                to_text(static_cast<std::int64_t>(first->count)) + u", split at each " + name +
                u"; every row needs as many cells as the first, so put a cell that holds a " +
                name + u" in double quotes."};
  }
  Parsed one_column = parse_cells(text, 0);
  if (one_column.error) {
    return {{}, 0, row_text(one_column.error->first) + u" of " + in + one_column.error->second};
  }
  return {std::move(one_column), 0, {}};
}

}  // namespace tavrino
