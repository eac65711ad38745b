// SPDX-License-Identifier: MIT
#include "platform/xkb/layout_coverage.h"

#include <algorithm>
#include <memory>

#include <xkbcommon/xkbcommon.h>

namespace tavrino {

namespace {

// The compositor presses Shift for level 2 and AltGr for level 3; a key's
// fourth level needs both, which it does not do.
constexpr xkb_level_index_t kLevels = 3;

struct ContextFree {
  void operator()(xkb_context* context) const { xkb_context_unref(context); }
};
struct KeymapFree {
  void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
};

}  // namespace

std::optional<LayoutCoverage> LayoutCoverage::from_keymap_text(std::string_view text) {
  const std::unique_ptr<xkb_context, ContextFree> context(
      xkb_context_new(static_cast<xkb_context_flags>(XKB_CONTEXT_NO_DEFAULT_INCLUDES |
                                                     XKB_CONTEXT_NO_ENVIRONMENT_NAMES)));
  if (!context) return std::nullopt;
  // A keymap handed over by a compositor may end in its terminating zero.
  while (!text.empty() && text.back() == '\0') text.remove_suffix(1);
  const std::unique_ptr<xkb_keymap, KeymapFree> keymap(
      xkb_keymap_new_from_buffer(context.get(), text.data(), text.size(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                 XKB_KEYMAP_COMPILE_NO_FLAGS));
  if (!keymap) return std::nullopt;

  LayoutCoverage coverage;
  const xkb_layout_index_t layouts = xkb_keymap_num_layouts(keymap.get());
  coverage.layouts_.resize(layouts);
  const xkb_keycode_t min = xkb_keymap_min_keycode(keymap.get());
  const xkb_keycode_t max = xkb_keymap_max_keycode(keymap.get());
  for (xkb_layout_index_t layout = 0; layout < layouts; ++layout) {
    for (xkb_keycode_t keycode = min; keycode <= max && keycode != 0; ++keycode) {
      const xkb_layout_index_t of_key = xkb_keymap_num_layouts_for_key(keymap.get(), keycode);
      if (of_key == 0) continue;
      // A key with fewer layouts than the keymap repeats its last one's
      // place: XKB wraps the layout number around.
      const xkb_layout_index_t used = layout % of_key;
      const xkb_level_index_t levels =
          std::min(kLevels, xkb_keymap_num_levels_for_key(keymap.get(), keycode, used));
      for (xkb_level_index_t level = 0; level < levels; ++level) {
        const xkb_keysym_t* syms = nullptr;
        const int count =
            xkb_keymap_key_get_syms_by_level(keymap.get(), keycode, used, level, &syms);
        // A level that gives several keysyms at once types none of them alone.
        if (count == 1) coverage.layouts_[layout].insert(syms[0]);
      }
    }
  }
  return coverage;
}

bool LayoutCoverage::in_some(KeySymbol keysym) const {
  for (const auto& layout : layouts_) {
    if (layout.count(keysym) != 0) return true;
  }
  return false;
}

bool LayoutCoverage::types(KeySymbol keysym) const {
  if (keysym == kNoSymbol || layouts_.empty()) return false;
  for (const auto& layout : layouts_) {
    if (layout.count(keysym) == 0) return false;
  }
  return true;
}

}  // namespace tavrino
