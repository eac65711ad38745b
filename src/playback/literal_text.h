// SPDX-License-Identifier: MIT
// Characters typed as themselves, in a key string and in literal text alike
// (parse_literal_text in key_string.h): what each becomes, and which no key
// types.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "playback/key_event.h"

namespace tavrino {

// The event that types the character `c` as itself: line breaks and tabs
// are their keys, since a target reads them as keys anyway, and every
// platform then types them alike. Other control characters have no key to
// type them (and as input some act as shortcuts, such as U+0001 for Ctrl+A),
// so they are refused, and so are characters no keyboard types: no platform
// sends a lone surrogate or a noncharacter (X11 has no key symbol for them).
// Fills `why` when it refuses.
std::optional<KeyEvent> plain_character_event(char32_t c, std::u16string& why);

// The units the character at `at` takes: 2 for CR LF, which is one Enter
// whichever line end the text used (two Enters could submit a form and move
// on a field), and for a surrogate pair; else 1.
std::size_t typed_length(std::u16string_view text, std::size_t at);

}  // namespace tavrino
