// SPDX-License-Identifier: MIT
#include "playback/key_string.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text.h"

namespace tavrino {
namespace {

std::string utf8(std::u16string_view text) {
  return utf16_to_utf8(text);
}

// True when every press is released later, innermost first.
bool balanced(const KeyEvents& events) {
  std::vector<Modifier> held;
  for (const KeyEvent& e : events) {
    if (e.type == KeyEvent::Type::press) held.push_back(e.modifier);
    if (e.type == KeyEvent::Type::release) {
      if (held.empty() || held.back() != e.modifier) return false;
      held.pop_back();
    }
  }
  return held.empty();
}

TEST(KeyString, ParsesValidStrings) {
  struct Case {
    std::u16string input;
    std::u16string expected;
  };
  const std::vector<Case> cases = {
      {u"", u""},
      {u"45", u"4 5"},
      {u"a b", u"a [SPACE] b"},
      {u"+a", u"[SHIFT down] a [SHIFT up]"},
      {u"+^%a", u"[SHIFT down] [CTRL down] [ALT down] a [ALT up] [CTRL up] [SHIFT up]"},
      {u"^ca", u"[CTRL down] c [CTRL up] a"},
      {u"%{F4}", u"[ALT down] [F4] [ALT up]"},
      {u"~", u"[ENTER]"},
      {u"+(ab)c", u"[SHIFT down] a b [SHIFT up] c"},
      {u"^(a+(bc)d)", u"[CTRL down] a [SHIFT down] b c [SHIFT up] d [CTRL up]"},
      {u"(ab)", u"a b"},
      {u"()", u""},
      {u"{tab}{Tab}{TAB}", u"[TAB] [TAB] [TAB]"},
      {u"{bs}{BKSP}{BackSpace}", u"[BACKSPACE] [BACKSPACE] [BACKSPACE]"},
      {u"{del}{Ins}{esc}{Break}", u"[DELETE] [INSERT] [ESC] [BREAK]"},
      {u"{TAB 3}", u"[TAB] [TAB] [TAB]"},
      {u"{TAB 0}x", u"x"},
      {u"{left 02}", u"[LEFT] [LEFT]"},
      {u"+{TAB 2}", u"[SHIFT down] [TAB] [TAB] [SHIFT up]"},
      {u"{a 3}", u"a a a"},
      {u"{+ 2}{~ 2}", u"+ + ~ ~"},
      {u"{} 2}", u"} }"},
      {u"{  2}", u"[SPACE] [SPACE]"},
      {u"{+}{^}{%}{~}{(}{)}{{}{}}{[}{]}", u"+ ^ % ~ ( ) { } [ ]"},
      {u"B{+}", u"B +"},
      {u"\U0001F600", u"\U0001F600"},
      {u"{\U0001F600 2}", u"\U0001F600 \U0001F600"},
      {u"+(a)\U0001F600", u"[SHIFT down] a [SHIFT up] \U0001F600"},
      {u"\u00e9\u4e2d", u"\u00e9 \u4e2d"},
      // Next to the noncharacters, and private use, are ordinary characters.
      {u"\uFDCF\uFDF0\uFFFD\uE000", u"\uFDCF \uFDF0 \uFFFD \uE000"},
      {u"\U0001FFFD\U0010FFFD", u"\U0001FFFD \U0010FFFD"},
      // A count of 0 types nothing, which is fine without a modifier.
      {u"({a 0})", u""},
      {u"+({a 0}b)", u"[SHIFT down] b [SHIFT up]"},
      // Line breaks inside a value are one Enter each, whatever the line end;
      // a tab character is the Tab key.
      {u"4\r\n5", u"4 [ENTER] 5"},
      {u"4\r\r\n\n5", u"4 [ENTER] [ENTER] [ENTER] 5"},
      {u"a\tb", u"a [TAB] b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(utf8(c.input));
    const ParsedKeys parsed = parse_key_string(c.input);
    ASSERT_FALSE(parsed.error) << utf8(parsed.error->explanation);
    EXPECT_EQ(utf8(describe(parsed.events)), utf8(c.expected));
    EXPECT_TRUE(balanced(parsed.events));
  }
}

TEST(KeyString, EveryKeyNameParsesBack) {
  for (int k = 0; k <= static_cast<int>(Key::divide); ++k) {
    const Key key = static_cast<Key>(k);
    const ParsedKeys parsed = parse_key_string(u"{" + key_name(key) + u"}");
    SCOPED_TRACE(utf8(key_name(key)));
    ASSERT_FALSE(parsed.error);
    EXPECT_EQ(parsed.events, KeyEvents{KeyEvent::of_key(key)});
  }
}

TEST(KeyString, RepeatCountLimit) {
  const ParsedKeys at_limit = parse_key_string(u"{a 1000}");
  ASSERT_FALSE(at_limit.error);
  EXPECT_EQ(at_limit.events.size(), static_cast<std::size_t>(kMaxRepeat));
  EXPECT_TRUE(parse_key_string(u"{a 1001}").error);
  EXPECT_TRUE(parse_key_string(u"{a 99999999999999999999}").error);
}

TEST(KeyString, RejectsMalformedStrings) {
  struct Case {
    std::u16string input;
    std::size_t position;
    std::u16string phrase;  // part of the explanation
  };
  const std::vector<Case> cases = {
      {u"{", 0, u"no matching \"}\""},
      {u"a{TAB", 1, u"{{}"},
      {u"{TAB{ENTER}", 0, u"no matching \"}\""},
      {u"a}", 1, u"{}}"},
      {u"(a", 0, u"{(}"},
      {u"a)", 1, u"{)}"},
      {u"+(a))", 4, u"no matching \"(\""},
      {u"{FOO}", 1, u"\"FOO\""},
      {u"x{F17}", 2, u"\"F17\""},
      {u"{}", 0, u"names no key"},
      {u"{TAB x}", 5, u"repeat count"},
      {u"{TAB }", 5, u"{TAB 3}"},
      {u"B+", 1, u"B{+}"},
      {u"50%", 2, u"50{%}"},
      {u"a^+", 1, u"a{^}{+}"},
      {u"+(a^)", 3, u"+(a{^})"},
      {u"+()", 1, u"empty group"},
      {u"++a", 1, u"twice"},
      {u"+(a+b)", 3, u"already holds"},
      {u"[", 0, u"{[}"},
      {u"+}", 1, u"no matching \"{\""},
      {u"a\u0001b", 1, u"U+0001"},
      {u"\u007f", 0, u"U+007F"},
      {u"x\u0085", 1, u"U+0085"},
      {u"{\u001b}", 1, u"control character"},
      // What no keyboard types: lone surrogates and noncharacters.
      {std::u16string{u'a', 0xD83D, u'a'}, 1, u"U+D83D is half of a surrogate pair"},
      {std::u16string{u'{', 0xDCE9, u'}'}, 1, u"surrogate pair"},
      {u"x\uFFFF", 1, u"U+FFFF is a noncharacter"},
      {u"{\uFDD0 2}", 1, u"U+FDD0"},
      {u"\U0001FFFE", 0, u"U+1FFFE"},
      // Past U+FFFF no layout has a key to hold a modifier for.
      {u"+\U0001F600", 1, u"cannot be typed with Shift held"},
      {u"^+(a\U0001F600)", 4, u"with Ctrl and Shift held"},
      // A modifier with nothing to act on would be pressed alone.
      {u"%{x 0}", 0, u"\"%{x 0}\" holds Alt for a key typed 0 times"},
      {u"a^{TAB 0}", 1, u"would press Ctrl alone"},
      {u"+^{a 0}", 0, u"Shift and Ctrl"},
      {u"+({a 0})", 1, u"\"+({a 0})\" types no key, so Shift would be pressed alone"},
      {u"x%(({TAB 0}))", 2, u"Alt would be pressed alone"},
      {u"^(a+({b 0}))", 4, u"\"+({b 0})\" types no key, so Shift would be pressed alone"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(utf8(c.input));
    const ParsedKeys parsed = parse_key_string(c.input);
    ASSERT_TRUE(parsed.error);
    EXPECT_TRUE(parsed.events.empty());
    EXPECT_EQ(parsed.error->position, c.position);
    EXPECT_NE(parsed.error->explanation.find(c.phrase), std::u16string::npos)
        << utf8(parsed.error->explanation);
  }
}

TEST(LiteralText, EveryCharacterAsItself) {
  const struct {
    std::u16string text;
    std::u16string typed;  // the events as describe() shows them, or the error
    std::size_t error_at = 0;
  } cases[] = {
      {u"A+", u"A +"},
      {u"{x}", u"{ x }"},
      {u"^%()[]", u"^ % ( ) [ ]"},
      {u"", u""},
      {u"Zo\u00EB \U0001F600", u"Z o \u00EB [SPACE] \U0001F600"},
      // A line break in a cell is one Enter whatever its line end; a tab is
      // the Tab key.
      {u"a\r\nb\rc\nd\te", u"a [ENTER] b [ENTER] c [ENTER] d [TAB] e"},
      {u"a\r\r\nb", u"a [ENTER] [ENTER] b"},
      // What no key types is refused, at its place.
      {u"4\u0001", u"U+0001", 1},
      {u"ab\uFFFF", u"noncharacter", 2},
      {std::u16string{u'x', u'y', 0xD83D}, u"surrogate", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(utf8(c.text));
    const ParsedKeys parsed = parse_literal_text(c.text);
    if (c.error_at > 0) {
      ASSERT_TRUE(parsed.error);
      EXPECT_TRUE(parsed.events.empty());
      EXPECT_EQ(parsed.error->position, c.error_at);
      EXPECT_NE(parsed.error->explanation.find(c.typed), std::u16string::npos);
      continue;
    }
    ASSERT_FALSE(parsed.error) << utf8(parsed.error->explanation);
    EXPECT_EQ(utf8(describe(parsed.events)), utf8(c.typed));
    // A key string of the same text reads it as syntax, or refuses it.
    EXPECT_EQ(value_events(c.text, true).events, parsed.events);
  }
  EXPECT_EQ(value_events(u"A+", false).error.has_value(), true);
  EXPECT_EQ(describe(value_events(u"+a", false).events), u"[SHIFT down] a [SHIFT up]");
}

}  // namespace
}  // namespace tavrino
