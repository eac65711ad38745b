// SPDX-License-Identifier: MIT
#include "platform/win32/focus_facts.h"

#include "playback/window_focus.h"

namespace tavrino {

Focus classify_focus(const FocusFacts& facts) {
  if (facts.foreground == 0) {
    // Desktop names are not case-sensitive.
    const bool ours = facts.input_desktop &&
                      CompareStringOrdinal(facts.input_desktop->c_str(), -1,
                                           facts.own_desktop.c_str(), -1, TRUE) == CSTR_EQUAL;
    return {ours ? Focus::Kind::none : Focus::Kind::secure, 0};
  }
  // The foreground window alone, by its process: a message box of this
  // program is a window of its process too.
  const FocusedWindow foreground{facts.foreground, facts.owner_process == facts.own_process};
  const Focus focus = focus_of({&foreground, 1});
  if (focus.kind == Focus::Kind::own) return focus;
  // A program of the user's own runs at medium level unless it runs as
  // administrator; that is the guess when this one's level cannot be read.
  const DWORD own_level = facts.own_level.value_or(SECURITY_MANDATORY_MEDIUM_RID);
  if (!facts.owner_level || *facts.owner_level > own_level) {
    return {Focus::Kind::elevated, facts.foreground};
  }
  return focus;
}

}  // namespace tavrino
