// SPDX-License-Identifier: MIT
#include "platform/x11/interruption_watch.h"

#include <array>
#include <utility>

namespace tavrino {

namespace {

// The symbols of each keycode, by keycode; none where `mappings` has none.
std::array<const KeycodeSymbols*, 256> by_keycode(std::span<const KeycodeMapping> mappings) {
  std::array<const KeycodeSymbols*, 256> symbols{};
  for (const KeycodeMapping& mapping : mappings) {
    if (mapping.keycode < symbols.size()) symbols[mapping.keycode] = &mapping.symbols;
  }
  return symbols;
}

}  // namespace

bool is_own_remap(const MappingChange& change, const KeycodeSet& own) {
  if (change.key_types || change.virtual_modifiers) return false;
  bool touched = false;
  for (const KeycodeRange& range : change.keys) {
    for (unsigned keycode = range.first; keycode < range.first + range.count; ++keycode) {
      if (keycode >= own.size() || !own[keycode]) return false;
      touched = true;
    }
  }
  return touched;
}

bool layout_differs(std::span<const KeycodeMapping> before, std::span<const KeycodeMapping> now,
                    const KeycodeSet& own) {
  const auto old_symbols = by_keycode(before);
  const auto new_symbols = by_keycode(now);
  const KeycodeSymbols none;
  for (std::size_t keycode = 0; keycode < old_symbols.size(); ++keycode) {
    if (own[keycode]) continue;
    const KeycodeSymbols& a = old_symbols[keycode] ? *old_symbols[keycode] : none;
    const KeycodeSymbols& b = new_symbols[keycode] ? *new_symbols[keycode] : none;
    if (!same_symbols(a, b)) return true;
  }
  return false;
}

void InterruptionWatch::set_layout(std::vector<KeycodeMapping> layout, const KeycodeSet& own) {
  layout_ = std::move(layout);
  own_ = own;
  known_ = true;
}

void InterruptionWatch::escape_pressed() {
  ++escapes_;
}

void InterruptionWatch::group_is(unsigned group) {
  if (group != group_) layout_changed_ = true;
}

void InterruptionWatch::mapping_changed(const MappingChange& change) {
  // Before the spare keycodes are known, any change is looked at later.
  if (!known_ || !is_own_remap(change, own_)) look_ = true;
}

void InterruptionWatch::keyboard_replaced() {
  look_ = true;
}

void InterruptionWatch::mapping_is(std::span<const KeycodeMapping> now) {
  look_ = false;
  if (layout_differs(layout_, now, own_)) layout_changed_ = true;
}

}  // namespace tavrino
