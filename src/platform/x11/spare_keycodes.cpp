// SPDX-License-Identifier: MIT
#include "platform/x11/spare_keycodes.h"

#include <algorithm>
#include <utility>

namespace tavrino {

namespace {

bool contains_key(const std::vector<SpareKey>& keys, const SpareKey& key) {
  return std::find(keys.begin(), keys.end(), key) != keys.end();
}

}  // namespace

SpareBatch plan_spare_batch(std::span<const SpareUse> uses, std::size_t from,
                            std::size_t key_count) {
  // Counted in half keycodes: a keysym that shares its keycode takes one
  // level, the others take both.
  const std::size_t capacity = 2 * key_count;
  std::size_t used = 0;
  std::vector<SpareKey> whole;
  std::vector<KeySymbol> halves;
  std::size_t i = from;
  for (; i < uses.size(); ++i) {
    const KeySymbol keysym = uses[i].keysym;
    // Shift added to a named key (F13, Help) would make it another shortcut
    // in the target; only characters come out the same with it.
    const bool shareable = types_text(keysym) && !uses[i].shifted;
    if (is_letter_keysym(keysym) || !shareable) {
      const SpareKey key = is_letter_keysym(keysym)
                               ? SpareKey{keysym_to_lower(keysym), keysym_to_upper(keysym)}
                               : SpareKey{keysym, keysym};
      if (std::find(whole.begin(), whole.end(), key) != whole.end()) continue;
      if (used + 2 > capacity) break;
      whole.push_back(key);
      used += 2;
    } else {
      if (std::find(halves.begin(), halves.end(), keysym) != halves.end()) continue;
      if (used + 1 > capacity) break;
      halves.push_back(keysym);
      used += 1;
    }
  }
  SpareBatch batch;
  batch.keys = std::move(whole);
  for (std::size_t h = 0; h < halves.size(); h += 2) {
    batch.keys.push_back({halves[h], h + 1 < halves.size() ? halves[h + 1] : halves[h]});
  }
  batch.end = i;
  return batch;
}

bool same_symbols(const KeycodeSymbols& a, const KeycodeSymbols& b) {
  const auto end_of = [](const KeycodeSymbols& symbols) {
    auto end = symbols.end();
    while (end != symbols.begin() && *std::prev(end) == kNoSymbol) --end;
    return end;
  };
  return std::equal(a.begin(), end_of(a), b.begin(), end_of(b));
}

std::vector<KeycodeMapping> plan_restore(std::span<const RemappedKeycode> keycodes) {
  std::vector<KeycodeMapping> restore;
  for (const RemappedKeycode& keycode : keycodes) {
    if (!keycode.set.empty() && same_symbols(keycode.now, keycode.set)) {
      restore.push_back({keycode.keycode, keycode.original});
    }
  }
  return restore;
}

SpareNeeds plan_spare_needs(std::span<const KeyEvent> events, unsigned locked,
                            const LockMasks& masks,
                            const std::function<bool(const KeyEvent&, unsigned)>& typable) {
  SpareNeeds needs;
  const bool shift_locked = (locked & masks.shift) != 0;
  int shift_presses = 0;
  std::vector<KeySymbol> shifted;
  for (std::size_t i = 0; i < events.size(); ++i) {
    const KeyEvent& event = events[i];
    if (event.type == KeyEvent::Type::press || event.type == KeyEvent::Type::release) {
      if (event.modifier == Modifier::shift) {
        shift_presses = std::max(shift_presses + (event.type == KeyEvent::Type::press ? 1 : -1), 0);
      }
      continue;
    }
    const KeySymbol keysym = keysym_of(event);
    if (!typable(event, locked)) {
      needs.uses.push_back({keysym, false});
      if (shift_locked || shift_presses > 0) shifted.push_back(keysym);
      if (!needs.first) needs.first = i;
    }
    if (event.type == KeyEvent::Type::key && event.key == Key::capslock) locked ^= masks.caps;
    if (event.type == KeyEvent::Type::key && event.key == Key::numlock) locked ^= masks.num;
  }
  // A keysym typed under Shift even once needs a keycode that gives it with
  // and without Shift, every time it is typed.
  for (SpareUse& use : needs.uses) {
    use.shifted = std::find(shifted.begin(), shifted.end(), use.keysym) != shifted.end();
  }
  return needs;
}

SpareKeycodes::SpareKeycodes(std::vector<unsigned> keycodes, std::vector<SpareUse> uses)
    : uses_(std::move(uses)) {
  for (const unsigned keycode : keycodes) slots_.push_back({keycode, {}, {}, {}});
}

std::vector<unsigned> SpareKeycodes::keycodes() const {
  std::vector<unsigned> keycodes;
  for (const Slot& slot : slots_) keycodes.push_back(slot.keycode);
  return keycodes;
}

bool SpareKeycodes::contains(unsigned keycode) const {
  return std::any_of(slots_.begin(), slots_.end(),
                     [&](const Slot& slot) { return slot.keycode == keycode; });
}

void SpareKeycodes::typed(KeySymbol keysym) {
  if (next_use_ < uses_.size() && uses_[next_use_].keysym == keysym) ++next_use_;
}

std::vector<KeycodeMapping> SpareKeycodes::next_batch(KeySymbol needed) {
  SpareBatch batch;
  if (next_use_ < uses_.size() && uses_[next_use_].keysym == needed) {
    batch = plan_spare_batch(uses_, next_use_, slots_.size());
  } else {
    const SpareUse only[] = {{needed, true}};
    batch = plan_spare_batch(only, 0, slots_.size());
  }

  std::vector<SpareKey> pending;
  for (const SpareKey& key : batch.keys) {
    const bool placed = std::any_of(slots_.begin(), slots_.end(),
                                    [&](const Slot& slot) { return slot.key == key; });
    if (!placed) pending.push_back(key);
  }
  std::vector<KeycodeMapping> changes;
  for (Slot& slot : slots_) {
    if (pending.empty()) break;
    if (slot.key != SpareKey{} && contains_key(batch.keys, slot.key)) continue;
    slot.key = pending.back();
    pending.pop_back();
    changes.push_back({slot.keycode, {slot.key.level1, slot.key.level2}});
  }
  return changes;
}

void SpareKeycodes::record_originals(std::span<const KeycodeMapping> mappings) {
  for (const KeycodeMapping& mapping : mappings) {
    if (Slot* slot = find(mapping.keycode)) slot->original = mapping.symbols;
  }
  knows_originals_ = true;
}

bool SpareKeycodes::unchanged(std::span<const KeycodeMapping> now) const {
  for (const KeycodeMapping& mapping : now) {
    const Slot* slot = find(mapping.keycode);
    if (slot == nullptr) continue;
    const KeycodeSymbols& left = !slot->set.empty()  ? slot->set
                                 : knows_originals_ ? slot->original
                                                    : KeycodeSymbols{};
    if (!same_symbols(mapping.symbols, left)) return false;
  }
  return true;
}

void SpareKeycodes::written(std::span<const KeycodeMapping> mappings) {
  for (const KeycodeMapping& mapping : mappings) {
    if (Slot* slot = find(mapping.keycode)) slot->set = mapping.symbols;
  }
}

std::vector<unsigned> SpareKeycodes::changed() const {
  std::vector<unsigned> changed;
  for (const Slot& slot : slots_) {
    if (!slot.set.empty()) changed.push_back(slot.keycode);
  }
  return changed;
}

std::vector<RemappedKeycode> SpareKeycodes::borrowed() const {
  std::vector<RemappedKeycode> borrowed;
  for (const Slot& slot : slots_) {
    if (!slot.set.empty()) borrowed.push_back({slot.keycode, slot.original, slot.set, {}});
  }
  return borrowed;
}

std::size_t SpareKeycodes::batches_needed() const {
  std::size_t batches = 0;
  for (std::size_t from = 0; from < uses_.size() && !slots_.empty(); ++batches) {
    from = plan_spare_batch(uses_, from, slots_.size()).end;
  }
  return batches;
}

std::vector<KeycodeMapping> SpareKeycodes::restore(std::span<const KeycodeMapping> now) {
  std::vector<RemappedKeycode> keycodes;
  for (Slot& slot : slots_) {
    RemappedKeycode keycode{slot.keycode, slot.original, std::move(slot.set), {}};
    for (const KeycodeMapping& mapping : now) {
      if (mapping.keycode == slot.keycode) keycode.now = mapping.symbols;
    }
    keycodes.push_back(std::move(keycode));
    slot.key = {};
    slot.set.clear();
  }
  return plan_restore(keycodes);
}

const SpareKeycodes::Slot* SpareKeycodes::find(unsigned keycode) const {
  const auto it = std::find_if(slots_.begin(), slots_.end(),
                               [&](const Slot& slot) { return slot.keycode == keycode; });
  return it == slots_.end() ? nullptr : &*it;
}

SpareKeycodes::Slot* SpareKeycodes::find(unsigned keycode) {
  return const_cast<Slot*>(std::as_const(*this).find(keycode));
}

}  // namespace tavrino
