// SPDX-License-Identifier: MIT
#include "platform/x11/keymap.h"

#include <algorithm>
#include <array>
#include <initializer_list>

#include "platform/x11/xlib.h"

namespace tavrino {

namespace {

constexpr unsigned kWhat = XkbKeyTypesMask | XkbKeySymsMask | XkbModifierMapMask;

}  // namespace

Keymap::~Keymap() {
  free_description();
}

void Keymap::free_description() {
  if (xkb_) XkbFreeKeyboard(xkb_, XkbAllComponentsMask, 1);
  xkb_ = nullptr;
  indexes_.clear();
}

Status Keymap::load(Display* display) {
  display_ = display;
  XkbStateRec state{};
  if (XkbGetState(display, XkbUseCoreKbd, &state) != 0) {
    return Status::failure(u"The X server did not say which keyboard layout is active.");
  }
  group_ = state.group;
  locked_ = state.locked_mods;
  if (Status status = reload(); !status) return status;

  shift_ = modifier_key({XK_Shift_L, XK_Shift_R});
  control_ = modifier_key({XK_Control_L, XK_Control_R});
  alt_ = modifier_key({XK_Alt_L, XK_Alt_R, XK_Meta_L});
  level3_ = modifier_key({XK_ISO_Level3_Shift});
  num_lock_ = modifier_key({XK_Num_Lock});
  return Status::success();
}

Status Keymap::reload() {
  free_description();
  xkb_ = XkbGetMap(display_, kWhat, XkbUseCoreKbd);
  if (!xkb_ || !xkb_->map) {
    return Status::failure(u"The X server did not hand out its keyboard mapping.");
  }
  return Status::success();
}

unsigned Keymap::caps_lock_mask() const {
  return LockMask;
}

// The first keycode whose first level in the current group is one of
// `keysyms` and that the modifier map binds to a modifier. A key with the
// symbol but no binding (the right Alt key of some layouts, which only
// carries an action) would leave the mask unknown, so it is passed over.
ModifierKey Keymap::modifier_key(std::initializer_list<KeySymbol> keysyms) const {
  if (!xkb_) return {};
  for (const KeySymbol wanted : keysyms) {
    for (int keycode = xkb_->min_key_code; keycode <= xkb_->max_key_code; ++keycode) {
      const auto code = static_cast<KeyCode>(keycode);
      if (XkbKeyNumGroups(xkb_, code) == 0) continue;
      const unsigned group = group_ < XkbKeyNumGroups(xkb_, code) ? group_ : 0;
      if (XkbKeySymEntry(xkb_, code, 0, group) != wanted) continue;
      const unsigned mask = modifiers_of(code);
      if (mask != 0) return {static_cast<unsigned>(keycode), mask};
    }
  }
  return {};
}

std::vector<unsigned> Keymap::keycodes_with(KeySymbol keysym) const {
  std::vector<unsigned> keycodes;
  if (!xkb_) return keycodes;
  for (int keycode = xkb_->min_key_code; keycode <= xkb_->max_key_code; ++keycode) {
    const auto code = static_cast<KeyCode>(keycode);
    if (XkbKeyNumGroups(xkb_, code) == 0) continue;
    const unsigned group = group_ < XkbKeyNumGroups(xkb_, code) ? group_ : 0;
    if (XkbKeySymEntry(xkb_, code, 0, group) == keysym) {
      keycodes.push_back(static_cast<unsigned>(keycode));
    }
  }
  return keycodes;
}

// The real modifiers the modifier map binds `keycode` to. Xlib allocates
// the map only when the server sends entries, and a server sends none for a
// keymap without modifier keys (as XWayland may): no map means no binding.
unsigned Keymap::modifiers_of(unsigned keycode) const {
  if (!xkb_ || !xkb_->map || !xkb_->map->modmap) return 0;
  return xkb_->map->modmap[keycode];
}

const Keymap::Index& Keymap::index_for(unsigned locked) const {
  auto [it, added] = indexes_.try_emplace(locked);
  Index& index = it->second;
  if (!added || !xkb_) return index;

  // Fewer modifiers first: a character is typed the plainest way the layout
  // offers, and the level-3 key is only pressed when nothing else gives it.
  std::array<unsigned, 4> combinations = {0, 0, 0, 0};
  std::size_t count = 1;
  const bool shift = shift_.keycode != 0;
  const bool level3 = level3_.keycode != 0;
  if (shift) combinations[count++] = ShiftMask;
  if (level3) combinations[count++] = level3_.mask;
  if (shift && level3) combinations[count++] = ShiftMask | level3_.mask;
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned held = combinations[i];
    const unsigned effective = held | locked;
    for (int keycode = xkb_->min_key_code; keycode <= xkb_->max_key_code; ++keycode) {
      unsigned consumed = 0;
      KeySym keysym = 0;
      if (!XkbTranslateKeyCode(xkb_, static_cast<KeyCode>(keycode),
                               XkbBuildCoreState(effective, group_), &consumed, &keysym) ||
          keysym == 0) {
        continue;
      }
      // Clients (Xlib and xkbcommon alike) turn the symbol to upper case
      // when Lock is on and the key's type does not use it up; that is
      // what the target will see.
      if ((effective & LockMask) != 0 && (consumed & LockMask) == 0) {
        keysym = keysym_to_upper(static_cast<KeySymbol>(keysym));
      }
      const Stroke stroke{static_cast<unsigned>(keycode), held};
      index.by_keysym.try_emplace(static_cast<KeySymbol>(keysym), stroke);
      if (types_text(static_cast<KeySymbol>(keysym))) {
        index.by_character.try_emplace(character_of_keysym(static_cast<KeySymbol>(keysym)), stroke);
      }
    }
  }
  return index;
}

std::optional<Stroke> Keymap::find_character(char32_t c, unsigned locked) const {
  const Index& index = index_for(locked);
  const auto it = index.by_character.find(c);
  if (it == index.by_character.end()) return std::nullopt;
  return it->second;
}

std::optional<Stroke> Keymap::find_keysym(KeySymbol keysym, unsigned locked) const {
  const Index& index = index_for(locked);
  const auto it = index.by_keysym.find(keysym);
  if (it == index.by_keysym.end()) return std::nullopt;
  return it->second;
}

std::vector<unsigned> Keymap::spare_keycodes() const {
  std::vector<unsigned> spare;
  if (!xkb_) return spare;
  for (int keycode = xkb_->max_key_code; keycode >= xkb_->min_key_code; --keycode) {
    const auto code = static_cast<KeyCode>(keycode);
    if (XkbKeyNumGroups(xkb_, code) == 0 && modifiers_of(code) == 0) {
      spare.push_back(static_cast<unsigned>(keycode));
    }
  }
  return spare;
}

std::vector<KeycodeMapping> read_keycode_mappings(Display* display,
                                                  const std::vector<unsigned>& keycodes) {
  if (keycodes.empty()) return {};
  const auto [low, high] = std::minmax_element(keycodes.begin(), keycodes.end());
  int per = 0;
  KeySym* all = XGetKeyboardMapping(display, static_cast<KeyCode>(*low),
                                    static_cast<int>(*high - *low + 1), &per);
  if (all == nullptr) return {};
  std::vector<KeycodeMapping> mappings;
  for (const unsigned keycode : keycodes) {
    const KeySym* first = all + (keycode - *low) * static_cast<unsigned>(per);
    mappings.push_back({keycode, KeycodeSymbols(first, first + per)});
  }
  XFree(all);
  return mappings;
}

void write_keycode_mappings(Display* display, std::vector<KeycodeMapping> mappings) {
  std::sort(mappings.begin(), mappings.end(),
            [](const KeycodeMapping& a, const KeycodeMapping& b) { return a.keycode < b.keycode; });
  std::size_t per_keycode = 1;
  for (const KeycodeMapping& mapping : mappings) {
    per_keycode = std::max(per_keycode, mapping.symbols.size());
  }
  for (std::size_t i = 0; i < mappings.size();) {
    std::size_t j = i + 1;
    while (j < mappings.size() && mappings[j].keycode == mappings[j - 1].keycode + 1) ++j;
    std::vector<KeySym> run;
    for (std::size_t k = i; k < j; ++k) {
      run.insert(run.end(), mappings[k].symbols.begin(), mappings[k].symbols.end());
      run.resize((k - i + 1) * per_keycode, 0);
    }
    XChangeKeyboardMapping(display, static_cast<int>(mappings[i].keycode),
                           static_cast<int>(per_keycode), run.data(), static_cast<int>(j - i));
    i = j;
  }
}

}  // namespace tavrino
