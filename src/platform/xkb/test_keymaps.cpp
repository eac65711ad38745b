// SPDX-License-Identifier: MIT
#include "platform/xkb/test_keymaps.h"

#include <cstdlib>
#include <memory>

#include <xkbcommon/xkbcommon.h>

namespace tavrino {

std::string keymap_text_for(const char* layouts) {
  const std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context(
      xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES), xkb_context_unref);
  if (!context) return {};
  const xkb_rule_names names = {"evdev", "pc105", layouts, "", ""};
  const std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap(
      xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS),
      xkb_keymap_unref);
  if (!keymap) return {};
  char* text = xkb_keymap_get_as_string(keymap.get(), XKB_KEYMAP_FORMAT_TEXT_V1);
  if (text == nullptr) return {};
  std::string copy(text);
  std::free(text);
  copy.push_back('\0');
  return copy;
}

}  // namespace tavrino
