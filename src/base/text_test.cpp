// SPDX-License-Identifier: MIT
#include "base/text.h"

#include <gtest/gtest.h>

#include <limits>
#include <utility>

namespace tavrino {
namespace {

TEST(Text, ConvertsBetweenUtf8AndUtf16) {
  const struct {
    std::string utf8;
    std::u16string utf16;
    bool round_trip;
  } cases[] = {
      {"Ann", u"Ann", true},
      {"\xC3\xA9\xE2\x82\xAC", u"\u00E9\u20AC", true},
      {"\xF0\x9F\x98\x80", u"\U0001F600", true},
      // Each bad byte of UTF-8 becomes one U+FFFD.
      {"\xE2\x82"
       "A",
       u"\uFFFD\uFFFDA", false},
      {"\xC0\xAF", u"\uFFFD\uFFFD", false},
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", false},
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(utf8_to_utf16(c.utf8), c.utf16) << c.utf8;
    if (c.round_trip) {
      EXPECT_EQ(utf16_to_utf8(c.utf16), c.utf8);
    }
  }
  EXPECT_EQ(utf16_to_utf8(std::u16string{char16_t{0xDE00}, u'a', char16_t{0xD83D}}),
            "\xEF\xBF\xBD"
            "a\xEF\xBF\xBD");
}

TEST(Text, PathsKeepEveryByte) {
  const struct {
    std::string bytes;
    std::u16string path;
  } cases[] = {
      {"/home/ann/class 7A.ipt", u"/home/ann/class 7A.ipt"},
      {"/media/usb/Zo\xC3\xAB.ipt", u"/media/usb/Zo\u00EB.ipt"},
      {"/tmp/\xF0\x9F\x98\x80", u"/tmp/\U0001F600"},
      // Latin-1: each byte that is not UTF-8 is one lone low surrogate.
      {"/media/usb/Zo\xEB.ipt", u"/media/usb/Zo\xDCEB.ipt"},
      // Broken sequences give up one byte at a time; what follows survives.
      {"\xC0\xAF", u"\xDCC0\xDCAF"},
      // The UTF-8 form of a surrogate is not valid UTF-8.
      {"\xED\xB3\xA9", u"\xDCED\xDCB3\xDCA9"},
      {"\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},
      {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(path_from_bytes(c.bytes), c.path);
    EXPECT_EQ(path_to_bytes(c.path), c.bytes);
  }
  // Every byte value, alone and after a lead byte that wants more.
  for (int b = 0; b < 256; ++b) {
    for (const std::string& bytes : {std::string(1, static_cast<char>(b)),
                                     "\xE2" + std::string(1, static_cast<char>(b)) + "x"}) {
      EXPECT_EQ(path_to_bytes(path_from_bytes(bytes)), bytes) << b;
    }
  }
  // Lone surrogates that stand for no byte have no byte form.
  EXPECT_EQ(path_to_bytes(std::u16string{u'a', char16_t{0xDC7F}, char16_t{0xD800}}),
            "a\xEF\xBF\xBD\xEF\xBF\xBD");
  // For messages the stand-ins are just unreadable characters.
  EXPECT_EQ(utf16_to_utf8(path_from_bytes("Zo\xEB")), "Zo\xEF\xBF\xBD");
}

TEST(Text, EscapesWhatCannotBeSeen) {
  const struct {
    std::u16string text;
    std::u16string shown;
  } cases[] = {
      {u"Zo\u00EB M\u00FCller 45 \U0001F600", u"Zo\u00EB M\u00FCller 45 \U0001F600"},
      {u"a\u001B[2Jb", u"a<U+001B>[2Jb"},
      {u"45\r^a{DEL}", u"45<U+000D>^a{DEL}"},
      {u"a\tb\n", u"a<U+0009>b<U+000A>"},
      {u"\u007F\u0085\u009F", u"<U+007F><U+0085><U+009F>"},
      {u"\u202Eevil\u202C\u2066\u2069", u"<U+202E>evil<U+202C><U+2066><U+2069>"},
      {u"a\u200Bb\u200F\u2060\uFEFF\u00AD", u"a<U+200B>b<U+200F><U+2060><U+FEFF><U+00AD>"},
      {u"\u2028\u2029\u061C\u3164", u"<U+2028><U+2029><U+061C><U+3164>"},
      {u"\U000E0041\U000E007F", u"<U+E0041><U+E007F>"},
      // Characters that change how the one before them looks: "45" with a
      // variation selector reads as 45 but types three characters.
      {u"4\uFE0F5\u034F\u180B\u17B4\U000E0100", u"4<U+FE0F>5<U+034F><U+180B><U+17B4><U+E0100>"},
      {u"\u0600\u06DD\u070F\U0001D173\U0001BCA0", u"<U+0600><U+06DD><U+070F><U+1D173><U+1BCA0>"},
      {u"\uFFFE\uFFFF\uFDD0\uFDEF\U0010FFFF", u"<U+FFFE><U+FFFF><U+FDD0><U+FDEF><U+10FFFF>"},
      {std::u16string{char16_t{0xD800}, u'x', char16_t{0xDCE9}}, u"<U+D800>x<U+DCE9>"},
      // Next to the ranges, and ordinary blanks, stay as they are.
      {u"\u00A0\u200A\u2010\u2070\uFDCF\uFDF0\uFFFD\u034E\uFE10\u0606",
       u"\u00A0\u200A\u2010\u2070\uFDCF\uFDF0\uFFFD\u034E\uFE10\u0606"},
      // Text that looks like an escape cannot pass for one.
      {u"<U+001B>", u"<U+003C>U+001B>"},
      {u"<U <+ U+ <u+", u"<U <+ U+ <u+"},
  };
  for (const auto& c : cases) EXPECT_EQ(escape_hidden(c.text), c.shown) << utf16_to_utf8(c.text);
}

TEST(Text, Numbers) {
  EXPECT_EQ(to_text(-12), u"-12");
  EXPECT_EQ(to_text(std::numeric_limits<std::int64_t>::min()), u"-9223372036854775808");
}

TEST(Text, LineEndsForWindowsEditControls) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"a\r\nb", u"a\r\nb"},
      {u"a\nb\rc", u"a\r\nb\r\nc"},
      {u"\r\r\n\n", u"\r\n\r\n\r\n"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(crlf_line_ends(in), out);
}

}  // namespace
}  // namespace tavrino
