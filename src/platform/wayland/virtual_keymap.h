// SPDX-License-Identifier: MIT
// The keymaps a virtual keyboard uploads for one playback. A Wayland client
// that makes a virtual keyboard brings its own keymap, so every character
// gets a key of its own and nothing depends on the user's layout. No
// Wayland connection is needed here.
//
// Every keymap holds the modifier keys and the named keys (Tab, Return, F5,
// ...) at the keycodes they have on a PC keyboard, since some programs look
// at those, and the playback's characters on the keycodes left over: a
// letter with its lower case on level 1 and its upper case on level 2, as on
// any letter key, so that a Shift the key string holds makes a capital;
// every other character on one level, which Shift does not change. When a
// playback has more different characters than one keymap has keys for, it
// gets several keymaps, each for a stretch of its events.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/xkb/keysyms.h"
#include "playback/key_event.h"

namespace tavrino {

// The modifier keys, on every keymap, and their real modifier masks there
// (Shift, Control and Mod1, as XKB numbers them).
inline constexpr std::uint32_t kVirtualShiftKeycode = 50;
inline constexpr std::uint32_t kVirtualControlKeycode = 37;
inline constexpr std::uint32_t kVirtualAltKeycode = 64;
inline constexpr std::uint32_t kVirtualShiftMask = 1u << 0;
inline constexpr std::uint32_t kVirtualControlMask = 1u << 2;
inline constexpr std::uint32_t kVirtualAltMask = 1u << 3;

// Keycodes run from 9 to 255: X11 programs under XWayland know no higher one.
inline constexpr std::uint32_t kVirtualFirstKeycode = 9;
inline constexpr std::uint32_t kVirtualLastKeycode = 255;

// A key: its XKB keycode (the evdev code + 8) and its symbols on the levels
// without and with Shift; a key with one level has the same on both.
struct VirtualKey {
  std::uint32_t keycode = 0;
  KeySymbol level1 = kNoSymbol;
  KeySymbol level2 = kNoSymbol;
  bool operator==(const VirtualKey&) const = default;
};

// How a keysym is typed: the key, and whether it needs Shift.
struct VirtualStroke {
  std::uint32_t keycode = 0;
  bool shift = false;
  bool operator==(const VirtualStroke&) const = default;
};

// One keymap and the events it was made for: [begin, end) of the playback.
struct VirtualKeymap {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::vector<VirtualKey> keys;  // the modifier and named keys first

  // The key that types `keysym`, and whether Shift is needed for it.
  std::optional<VirtualStroke> find(KeySymbol keysym) const;
};

// The keymaps for `events`, in order, each covering the events after the one
// before, until all are covered: one keymap when their characters fit.
// Modifier presses and releases take the modifier keys every keymap has.
// `character_keys` is how many keys a keymap has for characters; the default
// is every keycode that no modifier or named key takes.
std::vector<VirtualKeymap> plan_virtual_keymaps(std::span<const KeyEvent> events);
std::vector<VirtualKeymap> plan_virtual_keymaps(std::span<const KeyEvent> events,
                                                std::size_t character_keys);

// The keymap in XKB's text format, complete in itself (it includes nothing),
// as a virtual keyboard uploads it.
std::string virtual_keymap_text(const VirtualKeymap& keymap);

}  // namespace tavrino
