// SPDX-License-Identifier: MIT
#include "platform/x11/keymap.h"

#include <algorithm>
#include <memory>

#include "platform/x11/xlib.h"

namespace tavrino {

namespace {

constexpr unsigned kWhat = XkbKeyTypesMask | XkbKeySymsMask | XkbModifierMapMask;

struct DescriptionFree {
  void operator()(XkbDescPtr xkb) const { XkbFreeKeyboard(xkb, XkbAllComponentsMask, 1); }
};
using Description = std::unique_ptr<XkbDescRec, DescriptionFree>;

// The group XKB translates a key in while `group` is active: one with fewer
// groups wraps around, or is clamped or redirected, as its group
// information says.
unsigned translated_group(XkbDescPtr xkb, KeyCode code, unsigned group) {
  const unsigned groups = XkbKeyNumGroups(xkb, code);
  if (group < groups) return group;
  const unsigned info = XkbKeyGroupInfo(xkb, code);
  switch (XkbOutOfRangeGroupAction(info)) {
    case XkbClampIntoRange:
      return groups - 1;
    case XkbRedirectIntoRange: {
      const unsigned redirect = XkbOutOfRangeGroupNumber(info);
      return redirect < groups ? redirect : 0;
    }
    default:
      return group % groups;
  }
}

// Every keycode of `xkb` as the search needs it, with `group` active.
std::vector<LayoutKey> describe(XkbDescPtr xkb, unsigned group) {
  std::vector<LayoutKey> keys;
  for (int keycode = xkb->min_key_code; keycode <= xkb->max_key_code; ++keycode) {
    const auto code = static_cast<KeyCode>(keycode);
    LayoutKey& key = keys.emplace_back();
    key.keycode = static_cast<unsigned>(keycode);
    // Xlib allocates the modifier map only when the server sends entries,
    // and a server sends none for a keymap without modifier keys (as
    // XWayland may): no map means no binding.
    key.bound = xkb->map->modmap != nullptr ? xkb->map->modmap[keycode] : 0;
    key.groups = XkbKeyNumGroups(xkb, code);
    if (key.groups == 0) continue;
    key.symbol = XkbKeySymEntry(xkb, code, 0, group < key.groups ? group : 0);
    const unsigned translated = translated_group(xkb, code, group);
    const XkbKeyTypePtr type = XkbKeyKeyType(xkb, code, translated);
    key.type.modifiers = type->mods.mask;
    for (int i = 0; type->map != nullptr && i < type->map_count; ++i) {
      const XkbKTMapEntryRec& entry = type->map[i];
      if (!entry.active) continue;
      const unsigned preserve = type->preserve != nullptr ? type->preserve[i].mask : 0;
      key.type.map.push_back({entry.mods.mask, entry.level, preserve});
    }
    for (int level = 0; level < XkbKeyGroupsWidth(xkb, code); ++level) {
      key.levels.push_back(static_cast<KeySymbol>(XkbKeySymEntry(xkb, code, level, translated)));
    }
  }
  return keys;
}

}  // namespace

Status Keymap::load(Display* display) {
  display_ = display;
  XkbStateRec state{};
  if (XkbGetState(display, XkbUseCoreKbd, &state) != 0) {
    return Status::failure(u"The X server did not say which keyboard layout is active.");
  }
  group_ = state.group;
  locked_ = state.locked_mods;
  if (Status status = reload(); !status) return status;

  const std::vector<LayoutKey>& keys = search_.keys();
  shift_ = find_modifier_key(keys, {XK_Shift_L, XK_Shift_R});
  control_ = find_modifier_key(keys, {XK_Control_L, XK_Control_R});
  alt_ = find_modifier_key(keys, {XK_Alt_L, XK_Alt_R, XK_Meta_L});
  level3_ = find_modifier_key(keys, {XK_ISO_Level3_Shift});
  num_lock_ = find_modifier_key(keys, {XK_Num_Lock});
  search_ = KeySearch(search_.keys(), shift_, level3_);
  return Status::success();
}

Status Keymap::reload() {
  search_ = KeySearch();
  const Description xkb(XkbGetMap(display_, kWhat, XkbUseCoreKbd));
  if (!xkb || !xkb->map) {
    return Status::failure(u"The X server did not hand out its keyboard mapping.");
  }
  search_ = KeySearch(describe(xkb.get(), group_), shift_, level3_);
  return Status::success();
}

ServerHold::ServerHold(Display* display) : display_(display) { XGrabServer(display_); }

void ServerHold::release() {
  if (display_ == nullptr) return;
  XUngrabServer(display_);
  XFlush(display_);
  display_ = nullptr;
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
