// SPDX-License-Identifier: MIT
#include "playback/read_back.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/text.h"
#include "playback/fake_field_reader.h"
#include "playback/key_string.h"

namespace tavrino {
namespace {

std::string utf8(std::u16string_view text) {
  return utf16_to_utf8(text);
}

bool contains(std::u16string_view text, std::u16string_view part) {
  return text.find(part) != std::u16string_view::npos;
}

KeyEvents events_of(std::u16string_view key_string) {
  const ParsedKeys parsed = parse_key_string(key_string);
  EXPECT_FALSE(parsed.error) << utf8(key_string);
  return parsed.events;
}

TEST(ReadBack, TypedText) {
  struct Case {
    std::u16string_view value;
    std::optional<std::u16string> typed;
  };
  const std::vector<Case> cases = {
      {u"45", u"45"},
      {u"", u""},
      {u"a~b", u"a\nb"},  // Enter is a line break
      {u"A{+}", u"A+"},   // braces type the character itself
      {u"\U0001F600x", u"\U0001F600x"},
      {u"7{TAB}8", std::nullopt},  // moves on to another field
      {u"12{BS}3", std::nullopt},
      {u"+a", std::nullopt},  // Shift held: what lands depends on the layout
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(utf8(c.value));
    EXPECT_EQ(typed_text(events_of(c.value)), c.typed);
  }
}

TEST(ReadBack, CompareField) {
  using Kind = FieldText::Kind;
  struct Case {
    std::optional<std::u16string> typed;
    FieldText held;
    Verdict verdict;
  };
  const std::vector<Case> cases = {
      {u"45", {Kind::text, u"45"}, Verdict::matches},
      {u"45", {Kind::text, u"4"}, Verdict::differs},
      {u"a\nb", {Kind::text, u"a\r\nb"}, Verdict::matches},
      {u"a\nb", {Kind::text, u"a\rb"}, Verdict::matches},
      {u"a\n\nb", {Kind::text, u"a\nb"}, Verdict::differs},
      // A masked field shows one bullet for each character, whatever it is.
      {u"s\U0001F600t", {Kind::masked, u"\u25CF\u25CF\u25CF"}, Verdict::matches},
      {u"secret", {Kind::masked, u"\u25CF\u25CF\u25CF\u25CF"}, Verdict::differs},
      {u"45", {Kind::unreadable, u""}, Verdict::not_checked},
      // Nothing typed, or keys that do more than type: nothing to compare.
      {u"", {Kind::text, u"12"}, Verdict::not_checked},
      {std::nullopt, {Kind::text, u"12"}, Verdict::not_checked},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(utf8(c.typed.value_or(u"(none)")) + " / " + utf8(c.held.text));
    EXPECT_EQ(compare_field(c.typed, c.held), c.verdict);
  }
}

// Values typed into a FakeForm of `fields`, each followed by Tab, then read
// back and reported. Entry i's field is the form's field i unless
// `no_handle` names it.
struct ReadRun {
  std::vector<CheckedEntry> checked;
  ReadBackReport report;
};

ReadRun type_and_read(std::vector<FakeForm::Field> fields,
                      const std::vector<std::u16string>& values,
                      std::vector<std::size_t> no_handle = {}) {
  FakeKeyboard keyboard;
  const std::unique_ptr<KeyboardSession> session = keyboard.begin().session;
  FakeForm form(keyboard, std::move(fields));
  std::vector<TypedEntry> entries;
  for (std::size_t i = 0; i < values.size(); ++i) {
    KeyEvents events = events_of(values[i]);
    TypedEntry entry{i + 1, u"Student " + to_text(static_cast<std::int64_t>(i + 1)),
                     typed_text(events), form.focused_field(std::nullopt)};
    if (std::find(no_handle.begin(), no_handle.end(), i + 1) != no_handle.end()) entry.field = {};
    entries.push_back(entry);
    events.push_back(KeyEvent::of_key(Key::tab));
    (void)session->send(events);
  }
  ReadRun run;
  run.checked = read_back(entries, form);
  run.report = report_read_back(run.checked, form.how_to_read());
  return run;
}

TEST(ReadBack, VerdictsAndReport) {
  using F = FakeForm::Field;
  using K = FakeForm::Kind;
  const Verdict ok = Verdict::matches;
  const Verdict bad = Verdict::differs;
  const Verdict no = Verdict::not_checked;
  struct Case {
    const char* what;
    std::vector<F> fields;
    std::vector<std::u16string> values;
    std::vector<std::size_t> no_handle;
    std::vector<Verdict> verdicts;
    // Words each message must hold, and must not.
    std::vector<std::u16string_view> in_differences;
    std::vector<std::u16string_view> not_in_differences;
    bool all_hold;  // the status says every field holds what was typed
  };
  const std::vector<Case> cases = {
      {"match", {{}, {}, {}}, {u"45", u"5,5", u"A{+}"}, {}, {ok, ok, ok}, {}, {}, true},
      {"differ",
       {{}, {K::upper_case}, {K::max_length, 4}, {}},
       {u"abc", u"lower", u"123456", u"end"},
       {},
       {ok, bad, bad, ok},
       {u"Entry 2 (Student 2)", u"\"LOWER\"", u"\"lower\"", u"Entry 3", u"\"1234\""},
       {u"Entry 1", u"Entry 4"},
       false},
      // A field that tells nothing, and one whose handle the reader lacks.
      {"not checked",
       {{}, {K::unreadable}, {}},
       {u"1", u"2", u"3"},
       {3},
       {ok, no, no},
       {},
       {},
       false},
      {"differ and not checked",
       {{K::upper_case}, {K::unreadable}, {}},
       {u"x", u"y", u"z{TAB}"},
       {},
       {bad, no, no},
       {u"Entry 1", u"entries 2 and 3"},
       {},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ReadRun run = type_and_read(c.fields, c.values, c.no_handle);
    std::vector<Verdict> verdicts;
    for (const CheckedEntry& checked : run.checked) verdicts.push_back(checked.verdict);
    EXPECT_EQ(verdicts, c.verdicts);
    const bool any_differs = std::count(verdicts.begin(), verdicts.end(), bad) > 0;
    EXPECT_EQ(run.report.differences.empty(), !any_differs) << utf8(run.report.differences);
    for (std::u16string_view part : c.in_differences) {
      EXPECT_TRUE(contains(run.report.differences, part)) << utf8(part);
    }
    for (std::u16string_view part : c.not_in_differences) {
      EXPECT_FALSE(contains(run.report.differences, part)) << utf8(part);
    }
    EXPECT_EQ(contains(run.report.status, u"All "), c.all_hold) << utf8(run.report.status);
    EXPECT_TRUE(run.report.not_checked.empty()) << utf8(run.report.not_checked);
  }
}

TEST(ReadBack, PasswordsNeverShown) {
  FakeKeyboard keyboard;
  const std::unique_ptr<KeyboardSession> session = keyboard.begin().session;
  FakeForm form(keyboard, {{FakeForm::Kind::password}});
  (void)session->send(events_of(u"hunter2"));
  const std::vector<TypedEntry> entries = {{1, u"Ann", u"hunter2-long", FieldHandle{1}}};
  const std::vector<CheckedEntry> checked = read_back(entries, form);
  ASSERT_EQ(checked[0].verdict, Verdict::differs);
  const ReadBackReport report = report_read_back(checked, u"");
  EXPECT_FALSE(contains(report.differences, u"hunter")) << utf8(report.differences);
  EXPECT_TRUE(contains(report.differences, u"12 characters")) << utf8(report.differences);
  EXPECT_TRUE(contains(report.differences, u"7 characters")) << utf8(report.differences);
}

TEST(ReadBack, NothingCheckedSaysHowToRead) {
  struct Case {
    const char* what;
    std::vector<TypedEntry> entries;
  };
  const std::vector<Case> cases = {
      {"no handles", {{1, u"A", u"1", {}}, {2, u"B", u"2", {}}}},
      {"nothing to compare", {{1, u"A", u"", FieldHandle{1}}, {2, u"B", {}, FieldHandle{1}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeKeyboard keyboard;
    const std::unique_ptr<KeyboardSession> session = keyboard.begin().session;
    FakeForm form(keyboard, {{FakeForm::Kind::unreadable}});
    const std::vector<CheckedEntry> checked = read_back(c.entries, form);
    const ReadBackReport report = report_read_back(checked, form.how_to_read());
    EXPECT_TRUE(report.differences.empty());
    EXPECT_TRUE(contains(report.not_checked, form.how_to_read())) << utf8(report.not_checked);
    EXPECT_FALSE(contains(report.status, u"hold")) << utf8(report.status);
  }
}

TEST(ReadBack, LongAndHiddenTextStaysOnOneLine) {
  FakeKeyboard keyboard;
  const std::unique_ptr<KeyboardSession> session = keyboard.begin().session;
  FakeForm form(keyboard, {{}});
  const std::u16string long_text(500, u'x');
  (void)session->send(events_of(long_text + u"~y"));
  const std::vector<TypedEntry> entries = {{1, u"A", u"z", FieldHandle{1}}};
  const ReadBackReport report = report_read_back(read_back(entries, form), u"");
  ASSERT_FALSE(report.differences.empty());
  EXPECT_LT(report.differences.size(), 300u) << utf8(report.differences);
  // Header, the entry, the advice: no line break of the field's own.
  EXPECT_EQ(std::count(report.differences.begin(), report.differences.end(), u'\n'), 2);
}

}  // namespace
}  // namespace tavrino
