// SPDX-License-Identifier: MIT
#include "sheet/row_reader.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "base/text.h"
#include "sheet/data_file.h"
#include "sheet/text_decoding.h"

namespace tavrino {
namespace {

// The rows kept for a decision: a header and every entry the sheet holds,
// and one more, which only a list that is too long has.
constexpr std::size_t kKeptRows = kSlotCount + 2;

// The name and the mark; further cells are counted, not kept.
constexpr std::size_t kKeptCells = 2;

constexpr std::array<char16_t, 3> kDelimiters = {u'\t', u';', u','};

struct Row {
  std::array<std::u16string, kKeptCells> cells;
  std::size_t count = 0;  // cells in the row, those not kept included
  bool empty = true;      // every cell is empty
};

struct Parsed {
  std::vector<Row> rows;  // at most kKeptRows
  // A row past those, not empty: the text holds more rows than the sheet.
  bool more = false;
  // The text ends with a line break, so nothing of a further row has begun.
  bool ended_in_line_break = true;
  // The first fault, with the row it is in (from 1). Reading goes on past
  // it as best it can, so that the rows still show how the text splits.
  std::optional<std::pair<std::size_t, std::u16string>> error;
};

bool is_line_break(char16_t c) {
  return c == u'\r' || c == u'\n';
}

// Splits `text` into rows of cells at `delimiter` (0: none, one cell a row).
// The message parts of errors follow "Row N of SOURCE".
Parsed parse(std::u16string_view text, char16_t delimiter) {
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

bool is_digit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

std::u16string_view trimmed(std::u16string_view text) {
  while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
  return text;
}

// Digits with an optional sign, one decimal point or comma and a percent
// sign: "7", "-2", "7,5", "92.5 %".
bool is_number(std::u16string_view text) {
  text = trimmed(text);
  if (!text.empty() && text.back() == u'%') text = trimmed(text.substr(0, text.size() - 1));
  if (!text.empty() && (text.front() == u'+' || text.front() == u'-')) text.remove_prefix(1);
  bool digits = false;
  bool separator = false;
  for (const char16_t c : text) {
    if (is_digit(c)) {
      digits = true;
    } else if ((c == u'.' || c == u',') && !separator) {
      separator = true;
    } else {
      return false;
    }
  }
  return digits;
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

std::u16string row_text(std::size_t row) {
  return u"Row " + to_text(static_cast<std::int64_t>(row));
}

// The rows of `text` split at the delimiter found in it, or why no delimiter
// can be trusted.
struct Split {
  Parsed parsed;
  char16_t delimiter = 0;
  std::u16string refusal;  // a whole sentence; empty when split
};

Split split(std::u16string_view text, const RowSource& source) {
  std::array<Parsed, kDelimiters.size()> tried;
  for (std::size_t i = 0; i < kDelimiters.size(); ++i) {
    tried[i] = parse(text, kDelimiters[i]);
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
              u"Every row of " + source.in + u" reads as one mark with a decimal comma (" +
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
      return {{}, 0, row_text(parsed.error->first) + u" of " + source.in + parsed.error->second};
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
            row_text(static_cast<std::size_t>(number(other))) + u" of " + source.in + u" has " +
                to_text(static_cast<std::int64_t>(other->count)) + u" cells where row " +
                to_text(number(first)) + u" has " +
                to_text(static_cast<std::int64_t>(first->count)) + u", split at each " + name +
                u"; every row needs as many cells as the first, so put a cell that holds a " +
                name + u" in double quotes."};
  }
  Parsed one_column = parse(text, 0);
  if (one_column.error) {
    return {
        {}, 0, row_text(one_column.error->first) + u" of " + source.in + one_column.error->second};
  }
  return {std::move(one_column), 0, {}};
}

// Lower case for the letters of the heading words: ASCII, Latin-1 and the
// Latin Extended-A pairs they use (Ę ę, Ł ł, Ń ń).
char16_t folded(char16_t c) {
  if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
  if (c >= 0x100 && c <= 0x137 && c % 2 == 0) return c + 1;
  if (c >= 0x139 && c <= 0x148 && c % 2 == 1) return c + 1;
  return c;
}

constexpr std::u16string_view kHeadingWords[] = {
    // English
    u"name",
    u"names",
    u"student",
    u"students",
    u"student name",
    u"pupil",
    u"pupils",
    u"learner",
    u"first name",
    u"last name",
    u"surname",
    u"full name",
    u"mark",
    u"marks",
    u"score",
    u"scores",
    u"grade",
    u"grades",
    u"result",
    u"results",
    u"points",
    u"total",
    u"percentage",
    u"percent",
    // German
    u"schüler",
    u"schülerin",
    u"vorname",
    u"nachname",
    u"note",
    u"noten",
    u"punkte",
    u"punktzahl",
    u"ergebnis",
    u"bewertung",
    u"zensur",
    // French
    u"nom",
    u"prénom",
    u"élève",
    u"étudiant",
    u"étudiante",
    u"notes",
    u"résultat",
    // Spanish
    u"nombre",
    u"apellido",
    u"apellidos",
    u"alumno",
    u"alumna",
    u"estudiante",
    u"nota",
    u"notas",
    u"calificación",
    u"puntuación",
    u"puntos",
    u"resultado",
    // Italian
    u"nome",
    u"cognome",
    u"studente",
    u"studentessa",
    u"alunno",
    u"alunna",
    u"voto",
    u"voti",
    u"punteggio",
    u"punti",
    u"risultato",
    // Dutch
    u"naam",
    u"leerling",
    u"cijfer",
    u"cijfers",
    u"punten",
    u"resultaat",
    // Polish
    u"imię",
    u"nazwisko",
    u"uczeń",
    u"ocena",
    u"oceny",
    u"punkty",
    u"wynik",
    // Portuguese
    u"aluna",
    u"aluno",
    u"pontos",
    u"pontuação",
};

bool is_heading_word(std::u16string_view cell) {
  cell = trimmed(cell);
  if (!cell.empty() && cell.back() == u':') cell = trimmed(cell.substr(0, cell.size() - 1));
  std::u16string word(cell);
  std::transform(word.begin(), word.end(), word.begin(), folded);
  return std::find(std::begin(kHeadingWords), std::end(kHeadingWords), word) !=
         std::end(kHeadingWords);
}

enum class Header { none, word, guessed };

Header find_header(const std::vector<Row>& rows, std::size_t used, bool two_columns) {
  if (used == 0 || rows[0].empty) return Header::none;
  const std::size_t mark = two_columns ? 1 : 0;
  const Row& top = rows[0];
  if (is_number(top.cells[mark])) return Header::none;
  if (is_heading_word(top.cells[mark]) || (two_columns && is_heading_word(top.cells[0]))) {
    return Header::word;
  }
  // A heading is a short line; a mark cell of several lines is a mark.
  if (top.cells[mark].empty() || top.cells[mark].find_first_of(u"\r\n") != std::u16string::npos) {
    return Header::none;
  }
  bool any = false;
  for (std::size_t i = 1; i < used; ++i) {
    const std::u16string& below = rows[i].cells[mark];
    if (below.empty()) continue;
    if (!is_number(below)) return Header::none;
    any = true;
  }
  return any ? Header::guessed : Header::none;
}

std::u16string entries_text(std::int32_t n) {
  return to_text(n) + (n == 1 ? u" entry" : u" entries");
}

}  // namespace

RowSource file_rows(std::u16string_view path) {
  const std::size_t slash = path.find_last_of(u"/\\");
  return {quoted(path),
          std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1))};
}

RowSource pasted_rows() {
  return {u"the pasted cells", u"Pasted cells"};
}

Status read_row_text(std::u16string_view text, const RowSource& source, ResultSheet& sheet,
                     RowsRead& read) {
  Split found = split(text, source);
  if (!found.refusal.empty()) return Status::failure(std::move(found.refusal));
  const std::vector<Row>& rows = found.parsed.rows;
  const bool two_columns = found.delimiter != 0;

  // Rows up to the last that is not empty; empty ones after it are ignored.
  std::size_t used = rows.size();
  while (used > 0 && rows[used - 1].empty) --used;
  if (found.parsed.more) used = kKeptRows + 1;
  const Header header = find_header(rows, std::min(used, rows.size()), two_columns);
  const std::size_t first = header == Header::none ? 0 : 1;
  const std::size_t entries = used - first;

  if (entries > static_cast<std::size_t>(kSlotCount)) {
    return Status::failure(row_text(first + kSlotCount + 1) + u" of " + source.in +
                           u" would be entry " + to_text(kSlotCount + 1) +
                           u", but the list holds at most " + to_text(kSlotCount) + u" entries.");
  }
  if (entries == 0) {
    return Status::failure(header == Header::none
                               ? u"There are no rows in " + source.in + u"."
                               : u"There are no rows below the header row of " + source.in + u".");
  }

  ResultSheet loaded;
  loaded.literal = true;
  loaded.first_row = static_cast<std::int32_t>(first) + 1;
  loaded.itemcount = static_cast<std::int16_t>(entries);
  for (std::size_t i = 0; i < entries; ++i) {
    const Row& row = rows[first + i];
    loaded.itemname[i] = two_columns ? row.cells[0] : u"";
    loaded.itemvalue[i] = row.cells[two_columns ? 1 : 0];
  }
  loaded.examtext = source.title;
  loaded.examnote = entries_text(static_cast<std::int32_t>(entries));
  if (header != Header::none) loaded.subjecttext = rows[0].cells[two_columns ? 1 : 0];

  read = {.rows = static_cast<std::int32_t>(used),
          .header = header != Header::none,
          .delimiter = found.delimiter,
          .note = {}};
  if (header == Header::guessed) {
    const Row& top = rows[0];
    std::u16string cells = tavrino::quoted(top.cells[0]);
    if (two_columns) cells += u", " + tavrino::quoted(top.cells[1]);
    read.note = u"Row 1 of " + source.in + u" (" + cells +
                u") is read as a header, not as an entry, because its mark is not a number and "
                u"the marks below it are; if it is a student, put a header row above it.";
  }
  sheet = std::move(loaded);
  return Status::success();
}

Status read_rows(std::span<const std::byte> bytes, const RowSource& source, ResultSheet& sheet,
                 RowsRead& read) {
  const Encoding encoding = detect_encoding(bytes);
  std::u16string text;
  Decoder decoder(encoding, [&text](std::u16string_view piece) { text.append(piece); });
  Status decoded = decoder.feed(bytes.subspan(mark_length(encoding)));
  if (decoded) decoded = decoder.finish();
  if (!decoded) {
    // The decoder has handed on the text in front of the fault, so its rows
    // say which row the fault is in.
    Split found = split(text, source);
    const Parsed before = found.refusal.empty() ? std::move(found.parsed) : parse(text, 0);
    const std::size_t row =
        before.rows.size() + (before.ended_in_line_break || before.rows.empty() ? 1 : 0);
    std::u16string reason = decoded.message();
    if (!reason.empty() && reason[0] >= u'A' && reason[0] <= u'Z') reason[0] += u'a' - u'A';
    return Status::failure(u"Cannot read row " + to_text(static_cast<std::int64_t>(row)) + u" of " +
                           source.in +
                           u" as text (a spreadsheet must be saved as CSV or tab-separated text "
                           u"first): " +
                           reason);
  }
  return read_row_text(text, source, sheet, read);
}

bool is_row_file(std::u16string_view path, std::span<const std::byte> bytes) {
  const std::size_t dot = path.find_last_of(u'.');
  if (dot == std::u16string_view::npos || path.find_first_of(u"/\\", dot) != std::u16string::npos) {
    return false;
  }
  std::u16string extension(path.substr(dot + 1));
  std::transform(extension.begin(), extension.end(), extension.begin(), folded);
  if (extension == u"csv" || extension == u"tsv") return true;
  if (extension != u"txt") return false;
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  using namespace std::string_view_literals;
  for (const std::string_view separator : {"_%_"sv, "_\0%\0_\0"sv, "\0_\0%\0_"sv}) {
    if (text.find(separator) != std::string_view::npos) return false;
  }
  return true;
}

bool is_cell_paste(std::u16string_view text) {
  if (text.find(u'\t') != std::u16string_view::npos) return true;
  // One line break at the very end is how a spreadsheet copies one cell.
  if (text.ends_with(u"\r\n")) {
    text.remove_suffix(2);
  } else if (!text.empty() && is_line_break(text.back())) {
    text.remove_suffix(1);
  }
  return text.find_first_of(u"\r\n") != std::u16string_view::npos;
}

}  // namespace tavrino
