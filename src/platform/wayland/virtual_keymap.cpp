// SPDX-License-Identifier: MIT
#include "platform/wayland/virtual_keymap.h"

#include <algorithm>
#include <array>
#include <unordered_set>

#include <xkbcommon/xkbcommon.h>

namespace tavrino {

namespace {

constexpr KeySymbol kIsoLeftTab = 0xfe20;  // Shift+Tab, as programs expect it

// The keycode of every named key, indexed by Key in the order the enum
// declares them: where a PC keyboard has it under evdev.
constexpr std::array<std::uint32_t, 40> kNamedKeycodes = {
    22,                                          // backspace
    127,                                         // break_key (the Pause key)
    66,                                          // capslock
    119,                                         // delete_key
    116,                                         // down
    115,                                         // end
    36,                                          // enter
    9,                                           // escape
    146,                                         // help
    110,                                         // home
    118,                                         // insert
    113,                                         // left
    77,                                          // numlock
    117,                                         // pgdn
    112,                                         // pgup
    107,                                         // prtsc
    114,                                         // right
    78,                                          // scrolllock
    23,                                          // tab
    111,                                         // up
    67,  68,  69,  70,  71, 72, 73, 74, 75, 76,  // f1 to f10
    95,  96,                                     // f11, f12
    191, 192, 193, 194,                          // f13 to f16
    86,                                          // add (keypad)
    82,                                          // subtract (keypad)
    63,                                          // multiply (keypad)
    106,                                         // divide (keypad)
};
static_assert(static_cast<std::size_t>(Key::divide) + 1 == kNamedKeycodes.size());

const std::vector<VirtualKey>& fixed_keys() {
  static const std::vector<VirtualKey> keys = [] {
    std::vector<VirtualKey> made = {
        {kVirtualShiftKeycode, 0xffe1, 0xffe1},    // Shift_L
        {kVirtualControlKeycode, 0xffe3, 0xffe3},  // Control_L
        {kVirtualAltKeycode, 0xffe9, 0xffe9},      // Alt_L
    };
    for (std::size_t i = 0; i < kNamedKeycodes.size(); ++i) {
      const KeySymbol keysym = keysym_for_key(static_cast<Key>(i));
      made.push_back({kNamedKeycodes[i], keysym, keysym});
    }
    for (VirtualKey& key : made) {
      if (key.level1 == keysym_for_key(Key::tab)) key.level2 = kIsoLeftTab;
    }
    return made;
  }();
  return keys;
}

bool is_fixed(KeySymbol keysym) {
  const std::vector<VirtualKey>& keys = fixed_keys();
  return std::any_of(keys.begin(), keys.end(),
                     [keysym](const VirtualKey& key) { return key.level1 == keysym; });
}

// The keycodes that no modifier or named key takes, lowest first.
const std::vector<std::uint32_t>& character_keycodes() {
  static const std::vector<std::uint32_t> keycodes = [] {
    std::vector<std::uint32_t> free;
    for (std::uint32_t keycode = kVirtualFirstKeycode; keycode <= kVirtualLastKeycode; ++keycode) {
      const std::vector<VirtualKey>& keys = fixed_keys();
      if (std::none_of(keys.begin(), keys.end(),
                       [keycode](const VirtualKey& key) { return key.keycode == keycode; })) {
        free.push_back(keycode);
      }
    }
    return free;
  }();
  return keycodes;
}

// What a character's key is known by: a letter by its lower case, which
// shares the key with its upper case.
KeySymbol key_of(KeySymbol keysym) {
  return is_letter_keysym(keysym) ? keysym_to_lower(keysym) : keysym;
}

std::string keysym_name(KeySymbol keysym) {
  // A keymap reads a lone digit as that digit's keysym, which is its name.
  char name[64] = {};
  if (xkb_keysym_get_name(keysym, name, sizeof name) <= 0) return "NoSymbol";
  return name;
}

}  // namespace

std::optional<VirtualStroke> VirtualKeymap::find(KeySymbol keysym) const {
  if (keysym == kNoSymbol) return std::nullopt;
  for (const VirtualKey& key : keys) {
    if (key.level1 == keysym) return VirtualStroke{key.keycode, false};
  }
  for (const VirtualKey& key : keys) {
    if (key.level2 == keysym) return VirtualStroke{key.keycode, true};
  }
  return std::nullopt;
}

std::vector<VirtualKeymap> plan_virtual_keymaps(std::span<const KeyEvent> events) {
  return plan_virtual_keymaps(events, character_keycodes().size());
}

std::vector<VirtualKeymap> plan_virtual_keymaps(std::span<const KeyEvent> events,
                                                std::size_t character_keys) {
  character_keys = std::min(std::max<std::size_t>(character_keys, 1), character_keycodes().size());
  std::vector<VirtualKeymap> keymaps;
  std::vector<KeySymbol> on_keys;  // of the keymap being planned, in order
  std::unordered_set<KeySymbol> seen;
  std::size_t begin = 0;

  const auto close = [&](std::size_t end) {
    VirtualKeymap keymap{begin, end, fixed_keys()};
    for (std::size_t i = 0; i < on_keys.size(); ++i) {
      const KeySymbol keysym = on_keys[i];
      const std::uint32_t keycode = character_keycodes()[i];
      keymap.keys.push_back(is_letter_keysym(keysym)
                                ? VirtualKey{keycode, keysym, keysym_to_upper(keysym)}
                                : VirtualKey{keycode, keysym, keysym});
    }
    keymaps.push_back(std::move(keymap));
    on_keys.clear();
    seen.clear();
    begin = end;
  };

  for (std::size_t i = 0; i < events.size(); ++i) {
    const KeySymbol keysym = keysym_of(events[i]);
    if (keysym == kNoSymbol || is_fixed(keysym)) continue;
    const KeySymbol key = key_of(keysym);
    if (seen.count(key) != 0) continue;
    if (on_keys.size() == character_keys) close(i);
    on_keys.push_back(key);
    seen.insert(key);
  }
  close(events.size());
  return keymaps;
}

std::string virtual_keymap_text(const VirtualKeymap& keymap) {
  std::string text = "xkb_keymap {\n";
  text += "xkb_keycodes \"tavrino\" {\n  minimum = 8;\n  maximum = 255;\n";
  for (const VirtualKey& key : keymap.keys) {
    const std::string code = std::to_string(key.keycode);
    text += "  <I" + code + "> = " + code + ";\n";
  }
  text += "};\n";
  text +=
      "xkb_types \"tavrino\" {\n"
      "  type \"ONE_LEVEL\" { modifiers = none; level_name[Level1] = \"Any\"; };\n"
      "  type \"TWO_LEVEL\" { modifiers = Shift; map[Shift] = Level2;\n"
      "    level_name[Level1] = \"Base\"; level_name[Level2] = \"Shift\"; };\n"
      "};\n";
  // For programs that work the modifiers out from the keys themselves (X11
  // programs under XWayland); the compositor is told them directly.
  text +=
      "xkb_compatibility \"tavrino\" {\n"
      "  interpret Shift_L { action = SetMods(modifiers = Shift); };\n"
      "  interpret Control_L { action = SetMods(modifiers = Control); };\n"
      "  interpret Alt_L { action = SetMods(modifiers = Mod1); };\n"
      "};\n";
  text += "xkb_symbols \"tavrino\" {\n";
  for (const VirtualKey& key : keymap.keys) {
    const std::string name = "<I" + std::to_string(key.keycode) + ">";
    if (key.level1 == key.level2) {
      text += "  key " + name + " { type = \"ONE_LEVEL\", [ " + keysym_name(key.level1) + " ] };\n";
    } else {
      text += "  key " + name + " { type = \"TWO_LEVEL\", [ " + keysym_name(key.level1) + ", " +
              keysym_name(key.level2) + " ] };\n";
    }
  }
  text += "  modifier_map Shift { <I" + std::to_string(kVirtualShiftKeycode) + "> };\n";
  text += "  modifier_map Control { <I" + std::to_string(kVirtualControlKeycode) + "> };\n";
  text += "  modifier_map Mod1 { <I" + std::to_string(kVirtualAltKeycode) + "> };\n";
  text += "};\n};\n";
  return text;
}

}  // namespace tavrino
