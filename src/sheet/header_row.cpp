// SPDX-License-Identifier: MIT
#include "sheet/header_row.h"

#include <algorithm>
#include <iterator>
#include <string>

namespace tavrino {
namespace {

std::u16string_view trimmed(std::u16string_view text) {
  while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
  return text;
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

}  // namespace

char16_t folded(char16_t c) {
  if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
  if (c >= 0x100 && c <= 0x137 && c % 2 == 0) return c + 1;
  if (c >= 0x139 && c <= 0x148 && c % 2 == 1) return c + 1;
  return c;
}

bool is_number(std::u16string_view text) {
  text = trimmed(text);
  if (!text.empty() && text.back() == u'%') text = trimmed(text.substr(0, text.size() - 1));
  if (!text.empty() && (text.front() == u'+' || text.front() == u'-')) text.remove_prefix(1);
  bool digits = false;
  bool separator = false;
  for (const char16_t c : text) {
    if (c >= u'0' && c <= u'9') {
      digits = true;
    } else if ((c == u'.' || c == u',') && !separator) {
      separator = true;
    } else {
      return false;
    }
  }
  return digits;
}

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

}  // namespace tavrino
