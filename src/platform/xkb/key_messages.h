// SPDX-License-Identifier: MIT
// How the Linux keyboards name characters and keys in their messages, and
// their sentences about keys a layout lacks.
#pragma once

#include <string>

#include "base/status.h"
#include "playback/key_event.h"

namespace tavrino {

// A character as a message shows it: itself in quotes when a reader can see
// it, its code (code_point_name) otherwise: the blank, the characters that
// show nothing of themselves (is_hidden_character), values past U+10FFFF.
std::u16string shown(char32_t c);
// An event as a message shows it: its character, or its key in braces
// ("{F13}").
std::u16string shown(const KeyEvent& event);

// The failures of typing one event: the layout lacks it and no keycode is
// free for it, known before typing or found out while typing; it was put on
// a free keycode yet that keycode does not give it; the key string holds a
// modifier the layout has no key for.
Status no_free_keycode_for(const KeyEvent& event);
Status no_key_for(const KeyEvent& event);
Status not_on_free_keycode(const KeyEvent& event);
Status no_modifier_key(Modifier modifier);

}  // namespace tavrino
