// SPDX-License-Identifier: MIT
#include "bench_text.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tavrino {
namespace {

TEST(CompareTexts, CountsEachKindOfEdit) {
  const struct {
    std::u32string_view expected;
    std::u32string_view received;
    std::size_t wrong, missing, extra;
  } cases[] = {
      {U"Zoë\tŁódź\t", U"Zoë\tŁódź\t", 0, 0, 0},
      {U"Zoë\t", U"Zoe\t", 1, 0, 0},             // ë came out as e
      {U"Zoë\tŁódź\t", U"Zo\tŁódź\t", 0, 1, 0},  // ë lost
      {U"a\tb\t", U"ab\t", 0, 1, 0},             // a Tab lost
      {U"中文\t", U"中中文\t", 0, 0, 1},
      {U"abc", U"", 0, 3, 0},
      {U"", U"xy", 0, 0, 2},
      {U"", U"", 0, 0, 0},
      // Equal cost either way: counted as two wrong, not one lost and one extra.
      {U"ab", U"ba", 2, 0, 0},
      {U"Zoë\tŁ\t", U"Zo\tŁx\t", 0, 1, 1},
      // Lost characters far apart in a long text.
      {U"0123456789abcdefghij\t", U"123456789abcdefghij", 0, 2, 0},
  };
  for (const auto& c : cases) {
    const Differences d = compare_texts(c.expected, c.received);
    const std::string label = encode_utf8(c.expected) + " / " + encode_utf8(c.received);
    EXPECT_EQ(d.wrong, c.wrong) << label;
    EXPECT_EQ(d.missing, c.missing) << label;
    EXPECT_EQ(d.extra, c.extra) << label;
  }
}

TEST(CompareTexts, EditCountIsTheDistanceOnALongText) {
  // Damage a typed text in known places: the counts must come out exactly,
  // the way a typist that loses and garbles characters would be judged.
  TextShape shape;
  shape.count = 5;
  shape.missing_pool = kCommonMissing;
  const std::u32string expected = with_tabs(make_values(shape, 7));
  std::u32string received = expected;
  received.erase(100, 1);     // one lost
  received[300] = U'\uFFFD';  // one garbled
  received.insert(500, U"xx");
  const Differences d = compare_texts(expected, received);
  EXPECT_EQ(d.wrong, 1u);
  EXPECT_EQ(d.missing, 1u);
  EXPECT_EQ(d.extra, 2u);
}

TEST(Utf8, DecodesBadBytesOneReplacementEach) {
  const struct {
    std::string_view bytes;
    std::u32string_view text;
  } cases[] = {
      {"Zo\xC3\xAB \xE2\x82\xAC \xF0\x9F\x98\x80", U"Zoë € 😀"},
      {"\xE2\x82"
       "A",
       U"\uFFFD\uFFFDA"},  // cut short
      {"\x80x", U"\uFFFDx"},
      {"\xED\xA0\x80", U"\uFFFD\uFFFD\uFFFD"},  // a surrogate
  };
  for (const auto& c : cases) {
    EXPECT_EQ(decode_utf8(c.bytes), c.text) << c.bytes;
  }
  const std::u32string all = U"a\té中😀\U0010FFFF";
  EXPECT_EQ(decode_utf8(encode_utf8(all)), all);
}

TEST(MakeValues, HasTheShapeAskedForAndRepeats) {
  TextShape shape;
  shape.missing_pool = kManyMissing;
  const std::vector<std::u32string> values = make_values(shape, 42);
  ASSERT_EQ(values.size(), shape.count);
  for (const std::u32string& value : values) {
    ASSERT_EQ(value.size(), shape.length);
    const auto from_pool = std::count_if(value.begin(), value.end(), [](char32_t c) {
      return kManyMissing.find(c) != std::u32string_view::npos;
    });
    const auto on_layout = std::count_if(value.begin(), value.end(), [](char32_t c) {
      return kOnLayout.find(c) != std::u32string_view::npos;
    });
    EXPECT_EQ(static_cast<std::size_t>(from_pool), shape.missing_per_value);
    EXPECT_EQ(static_cast<std::size_t>(on_layout), shape.length - shape.missing_per_value);
  }
  EXPECT_EQ(make_values(shape, 42), values);
  EXPECT_NE(make_values(shape, 43), values);
  // Values must not all be alike, or a typist that repeats one would pass.
  EXPECT_NE(values[0], values[1]);
}

TEST(FieldsAsText, ReadsTheTargetFormsFile) {
  const struct {
    std::string_view file;
    std::u32string_view text;
  } cases[] = {
      {"Zo\xC3\xAB\nx\n\n\n", U"Zoë\tx\t"},  // fields after the last filled one are empty
      {"a\n\nb\n", U"a\t\tb\t"},             // an empty field in between stays
      {"a\\tb\\\\c\\n\n", U"a\tb\\c\n\t"},
      {"\n\n", U""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fields_as_text(c.file), c.text) << c.file;
  }
}

}  // namespace
}  // namespace tavrino
