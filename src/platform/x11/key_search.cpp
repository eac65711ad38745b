// SPDX-License-Identifier: MIT
#include "platform/x11/key_search.h"

#include <array>
#include <utility>

namespace tavrino {

Translation translate(const LayoutKey& key, unsigned state) {
  if (key.groups == 0) return {};
  const unsigned modifiers = state & key.type.modifiers;
  unsigned level = 0;
  unsigned preserve = 0;
  for (const KeyType::Entry& entry : key.type.map) {
    if (entry.modifiers == modifiers) {
      level = entry.level;
      preserve = entry.preserve;
      break;
    }
  }
  const KeySymbol keysym = level < key.levels.size() ? key.levels[level] : kNoSymbol;
  return {keysym, key.type.modifiers & ~preserve};
}

ModifierKey find_modifier_key(std::span<const LayoutKey> keys,
                              std::initializer_list<KeySymbol> symbols) {
  for (const KeySymbol wanted : symbols) {
    for (const LayoutKey& key : keys) {
      if (key.groups != 0 && key.symbol == wanted && key.bound != 0) {
        return {key.keycode, key.bound};
      }
    }
  }
  return {};
}

std::vector<unsigned> spare_keycodes(std::span<const LayoutKey> keys) {
  std::vector<unsigned> spare;
  for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
    if (key->groups == 0 && key->bound == 0) spare.push_back(key->keycode);
  }
  return spare;
}

std::vector<unsigned> keycodes_with(std::span<const LayoutKey> keys, KeySymbol keysym) {
  std::vector<unsigned> keycodes;
  for (const LayoutKey& key : keys) {
    if (key.groups != 0 && key.symbol == keysym) keycodes.push_back(key.keycode);
  }
  return keycodes;
}

KeySearch::KeySearch(std::vector<LayoutKey> keys, ModifierKey shift, ModifierKey level3)
    : keys_(std::move(keys)), shift_(shift), level3_(level3) {}

std::optional<Stroke> KeySearch::find(const KeyEvent& event, unsigned locked) const {
  const Index& index = index_for(locked);
  if (event.type == KeyEvent::Type::character) {
    const auto it = index.by_character.find(event.character);
    if (it != index.by_character.end()) return it->second;
    return std::nullopt;
  }
  const KeySymbol keysym = keysym_of(event);
  if (keysym == kNoSymbol) return std::nullopt;
  const auto it = index.by_keysym.find(keysym);
  if (it != index.by_keysym.end()) return it->second;
  return std::nullopt;
}

const KeySearch::Index& KeySearch::index_for(unsigned locked) const {
  auto [it, added] = indexes_.try_emplace(locked);
  Index& index = it->second;
  if (!added) return index;

  // Fewer modifiers first: a character is typed the plainest way the layout
  // offers, and the level-3 key is only pressed when nothing else gives it.
  std::array<unsigned, 4> combinations = {0, 0, 0, 0};
  std::size_t count = 1;
  const bool shift = shift_.keycode != 0;
  const bool level3 = level3_.keycode != 0;
  if (shift) combinations[count++] = kShiftMask;
  if (level3) combinations[count++] = level3_.mask;
  if (shift && level3) combinations[count++] = kShiftMask | level3_.mask;
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned held = combinations[i];
    const unsigned effective = held | locked;
    for (const LayoutKey& key : keys_) {
      const Translation given = translate(key, effective);
      KeySymbol keysym = given.keysym;
      if (keysym == kNoSymbol) continue;
      // What the target will see: clients turn the symbol to upper case when
      // Lock is on and the key's type does not use it up.
      if ((effective & kLockMask) != 0 && (given.consumed & kLockMask) == 0) {
        keysym = keysym_to_upper(keysym);
      }
      const Stroke stroke{key.keycode, held};
      index.by_keysym.try_emplace(keysym, stroke);
      if (types_text(keysym)) index.by_character.try_emplace(character_of_keysym(keysym), stroke);
    }
  }
  return index;
}

}  // namespace tavrino
