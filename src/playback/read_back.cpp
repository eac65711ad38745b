// SPDX-License-Identifier: MIT
#include "playback/read_back.h"

#include <algorithm>
#include <cstdint>

#include "base/text.h"
#include "base/unicode.h"

namespace tavrino {

namespace {

// A field's text in a message is cut here: a long text area would bury the
// other entries.
constexpr std::size_t kShownCharacters = 60;

std::u16string number_text(std::size_t n) {
  return to_text(static_cast<std::int64_t>(n));
}

// Every CR LF and lone CR as LF: a multi-line field may hand back either.
std::u16string lf_line_ends(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r') {
      out.push_back(u'\n');
      if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

// The text quoted for a message: cut after kShownCharacters characters, and
// line breaks and other characters that show nothing written as <U+XXXX>,
// so that each entry stays on one line of the message.
std::u16string shown(std::u16string_view text) {
  const std::u32string characters = to_code_points(text);
  if (characters.size() <= kShownCharacters) return quoted(escape_hidden(text));
  const std::u16string start =
      from_code_points(std::u32string_view(characters).substr(0, kShownCharacters));
  return quoted(escape_hidden(start) + u"...");
}

std::u16string characters_text(std::size_t n) {
  return number_text(n) + (n == 1 ? u" character" : u" characters");
}

std::u16string difference_line(const CheckedEntry& checked) {
  const TypedEntry& entry = checked.entry;
  std::u16string line = u"Entry " + number_text(entry.number);
  if (!entry.name.empty()) line += u" (" + entry.name + u")";
  const std::u16string& typed = *entry.typed;
  if (checked.held.kind == FieldText::Kind::masked) {
    // Never the password itself, not even what was typed.
    return line + u": typed " + characters_text(to_code_points(typed).size()) +
           u" into a password field, which holds " +
           characters_text(to_code_points(checked.held.text).size()) + u".";
  }
  return line + u": typed " + shown(typed) + u", the field holds " + shown(checked.held.text) +
         u".";
}

}  // namespace

std::optional<std::u16string> typed_text(std::span<const KeyEvent> events) {
  std::u16string text;
  for (const KeyEvent& event : events) {
    if (event.type == KeyEvent::Type::character) {
      append_code_point(text, event.character);
    } else if (event.type == KeyEvent::Type::key && event.key == Key::enter) {
      text.push_back(u'\n');
    } else {
      return std::nullopt;
    }
  }
  return text;
}

Verdict compare_field(const std::optional<std::u16string>& typed, const FieldText& held) {
  if (!typed || typed->empty()) return Verdict::not_checked;
  switch (held.kind) {
    case FieldText::Kind::unreadable:
      return Verdict::not_checked;
    case FieldText::Kind::masked:
      return to_code_points(*typed).size() == to_code_points(held.text).size() ? Verdict::matches
                                                                               : Verdict::differs;
    case FieldText::Kind::text:
      break;
  }
  return lf_line_ends(*typed) == lf_line_ends(held.text) ? Verdict::matches : Verdict::differs;
}

std::vector<CheckedEntry> read_back(std::span<const TypedEntry> entries, FieldReader& reader) {
  std::vector<CheckedEntry> checked;
  checked.reserve(entries.size());
  for (const TypedEntry& entry : entries) {
    CheckedEntry result{entry, {}, Verdict::not_checked};
    // A field is read only for an entry that can be checked at all.
    if (entry.field && entry.typed && !entry.typed->empty()) {
      result.held = reader.read(*entry.field);
      result.verdict = compare_field(entry.typed, result.held);
    }
    checked.push_back(std::move(result));
  }
  return checked;
}

ReadBackReport report_read_back(std::span<const CheckedEntry> entries,
                                std::u16string_view how_to_read) {
  std::vector<std::u16string> differing;
  std::vector<std::u16string> unchecked;
  for (const CheckedEntry& checked : entries) {
    if (checked.verdict == Verdict::differs) differing.push_back(difference_line(checked));
    if (checked.verdict == Verdict::not_checked) {
      unchecked.push_back(number_text(checked.entry.number));
    }
  }
  const std::size_t total = entries.size();
  const std::size_t matching = total - differing.size() - unchecked.size();

  ReadBackReport report;
  if (!differing.empty()) {
    report.status = number_text(differing.size()) + u" of " + number_text(total) +
                    (total == 1 ? u" field" : u" fields") +
                    (differing.size() == 1 ? u" differs" : u" differ") + u" from what was typed";
    report.differences = differing.size() == 1 ? u"This field does not hold what was typed:"
                                               : u"These fields do not hold what was typed:";
    for (const std::u16string& line : differing) report.differences += u"\n" + line;
    if (!unchecked.empty()) {
      report.differences +=
          (unchecked.size() == 1 ? u"\nNot checked: entry " : u"\nNot checked: entries ") +
          listed(unchecked) + u".";
    }
    report.differences += differing.size() == 1
                              ? u"\nLook at it in the form before the form is saved."
                              : u"\nLook at them in the form before the form is saved.";
    return report;
  }
  if (matching == 0) {
    report.status = u"The fields were not checked";
    report.not_checked = u"The fields were not read back after typing, so nothing was checked. " +
                         std::u16string(how_to_read);
    return report;
  }
  if (unchecked.empty()) {
    report.status = total == 1 ? u"The field holds what was typed"
                               : u"All " + number_text(total) + u" fields hold what was typed";
    return report;
  }
  report.status = number_text(matching) + u" of " + number_text(total) +
                  u" fields hold what was typed; " + number_text(unchecked.size()) +
                  u" not checked";
  return report;
}

}  // namespace tavrino
