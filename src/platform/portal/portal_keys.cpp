// SPDX-License-Identifier: MIT
#include "platform/portal/portal_keys.h"

#include <string>

#include "platform/xkb/key_messages.h"

namespace tavrino {

KeySymbol portal_keysym(const KeyEvent& event) {
  const bool modifier =
      event.type == KeyEvent::Type::press || event.type == KeyEvent::Type::release;
  return modifier ? keysym_of(event.modifier) : keysym_of(event);
}

std::optional<KeyboardSession::Untypable> first_untypable(const LayoutCoverage& coverage,
                                                          std::span<const KeyEvent> events) {
  for (std::size_t i = 0; i < events.size(); ++i) {
    const KeyEvent& event = events[i];
    const KeySymbol keysym = portal_keysym(event);
    if (coverage.types(keysym)) continue;
    const std::u16string what =
        event.type == KeyEvent::Type::press || event.type == KeyEvent::Type::release
            ? std::u16string(modifier_name(event.modifier)) + u" key"
            : u"key for " + shown(event);
    const std::u16string lacks = coverage.in_some(keysym)
                                     ? u"not every one of this desktop's keyboard layouts has a " +
                                           what + u", and the desktop types in the one in use"
                                     : u"this desktop's keyboard layout has no " + what +
                                           u", and the desktop types only what its layout has";
    return KeyboardSession::Untypable{i,
                                      lacks +
                                          u" (add a layout that has it, or use a desktop that "
                                          u"offers the virtual-keyboard protocol, such as sway)."};
  }
  return std::nullopt;
}

}  // namespace tavrino
