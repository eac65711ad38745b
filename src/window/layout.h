// SPDX-License-Identifier: MIT
// The main window's layout as data, for every front-end to build from.
// Positions and sizes are in twips (1/1440 inch; 15 twips are one pixel at 96
// DPI), relative to the client area, except lbltext, which is placed relative
// to its frame frmChklist.
#pragma once

#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "controls.h"

namespace tavrino {

inline constexpr std::u16string_view kWindowCaption = u"VELMORANT COMPUTER SYSTEM - tavrino";
inline constexpr int kClientWidthTwips = 5310;
inline constexpr int kClientHeightTwips = 9615;
inline constexpr int kTwipsPerPixel = 15;  // at 96 DPI
inline constexpr int kTimerIntervalMs = 1000;

enum class ControlKind { push_button, text_box, common_dialog, frame, timer, line, label };

struct FontSpec {
  std::u16string_view face;  // "Arial", "MS Sans Serif"
  double points;
  bool bold;
};

struct ControlLayout {
  ControlId id;
  std::string_view name;  // "cmdStart"
  ControlKind kind;
  std::u16string_view text;         // initial text or caption
  int left, top, width, height;     // twips; for Line1 the rule runs from
                                    // (left, top) to (left + width, top)
  int tab_index;                    // -1 for controls that take no focus
  std::optional<ControlId> parent;  // frmChklist for lbltext
  std::optional<FontSpec> font;     // none: the window's default font
  bool multi_line = false;
  bool vertical_scroll = false;
  bool centred = false;
  bool menu_background = false;  // the system menu colour
  bool enabled = true;
};

// All controls, in creation order.
std::span<const ControlLayout> form1_layout();

// The entry for one control.
const ControlLayout& layout_of(ControlId id);

// Whether a control of this kind can hold the keyboard focus: push buttons
// and text boxes. Frames and labels have a tab index but never the focus.
bool takes_focus(ControlKind kind);

// Every control by tab index, lowest first; those without one come last, in
// layout order. Tab visits the controls that take the focus in this order,
// so a platform whose Tab follows creation order creates them in it.
std::vector<ControlId> tab_order();

}  // namespace tavrino
