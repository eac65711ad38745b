// SPDX-License-Identifier: MIT
// The text the typing benchmarks type, and the count of what arrived wrong.
//
// Texts here are Unicode code points (char32_t), so a character outside the
// 16-bit range counts once, as a reader of the target would count it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavrino {

// The shape of a benchmark text: `count` values of `length` characters, of
// which `missing_per_value` are drawn from `missing_pool` (characters that the
// keyboard layout lacks, so the typist has to put them onto free keycodes)
// and the rest from characters every Latin layout has.
struct TextShape {
  std::size_t count = 51;
  std::size_t length = 150;
  std::size_t missing_per_value = 45;  // 30 %
  std::u32string_view missing_pool;
};

// splitmix64: tiny, and its output is fixed by its definition, unlike the
// standard library's distributions, which differ between implementations.
class SplitMix64 {
 public:
  explicit SplitMix64(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  // Below `bound`; the slight bias of the modulo does not matter here.
  std::size_t below(std::size_t bound) { return static_cast<std::size_t>(next() % bound); }

 private:
  std::uint64_t state_;
};

// Characters found on no key of the us layout, a few as a class list of
// European names has them: few enough to fit at once onto the keycodes a
// standard X keyboard leaves free (a letter and its capital share one).
inline constexpr std::u32string_view kCommonMissing = U"ëËŁł€中ßΩéñöÖü文";

// Sixty characters that no layout of the Latin alphabet has: more than the
// free keycodes hold at once, so the typist must map them batch by batch
// while typing.
inline constexpr std::u32string_view kManyMissing =
    U"天地玄黃宇宙洪荒日月盈昃辰宿列張寒來暑往秋收冬藏閏餘成歲律呂調陽雲騰致雨露結為霜金生麗水玉"
    U"出崑岡劍號巨闕珠稱夜光果珍李柰";

// Characters on every Latin layout that have no meaning in key strings (no
// + ^ % ~ ( ) [ ] { }) and no double quote, so that a value can be written
// into a quoted data file item and typed as it stands.
inline constexpr std::u32string_view kOnLayout =
    U"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789     .,-'/:;@!?#&*=_<>|\\$";

// The values for `shape`, the same for the same seed on every machine. Each
// value has
// exactly `missing_per_value` characters from the pool, spread at random.
std::vector<std::u32string> make_values(const TextShape& shape, std::uint64_t seed);

// What a target should receive: each value followed by a tab.
std::u32string with_tabs(const std::vector<std::u32string>& values);

// How `received` differs from `expected` in the fewest single-character
// edits: characters that arrived as another character, characters that did
// not arrive, characters that arrived in addition.
struct Differences {
  std::size_t wrong = 0;
  std::size_t missing = 0;
  std::size_t extra = 0;
  std::size_t total() const { return wrong + missing + extra; }
};
// Memory is linear in the length of `received`; time is the product of both
// lengths.
Differences compare_texts(std::u32string_view expected, std::u32string_view received);

// UTF-8 to code points; each byte of an invalid sequence becomes U+FFFD, so a
// mangled character shows as wrong, not as missing.
std::u32string decode_utf8(std::string_view bytes);
std::string encode_utf8(std::u32string_view text);

// The text a form received, from the file the target form writes on closing
// (one line per field; backslash, tab, CR and LF written as \\ \t \r \n): the
// fields up to the last one that holds anything, each followed by a tab, as
// the Tab keys that moved between them would read in a terminal.
std::u32string fields_as_text(std::string_view fields_file);

}  // namespace tavrino
