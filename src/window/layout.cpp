// SPDX-License-Identifier: MIT
#include "window/layout.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace tavrino {
namespace {

constexpr FontSpec kLabelFont{u"Arial", 9.75, true};
constexpr FontSpec kPaneFont{u"Arial", 9.75, false};
constexpr FontSpec kCountdownFont{u"MS Sans Serif", 13.5, false};

constexpr int kNoFocus = -1;

// Creation order matters to the front-ends (the frame must exist before the
// pane inside it) and matches the order of ControlId.
constexpr std::array<ControlLayout, 12> kLayout{{
    {.id = ControlId::cmdStart,
     .name = "cmdStart",
     .kind = ControlKind::push_button,
     .text = u"START",
     .left = 4080,
     .top = 720,
     .width = 1095,
     .height = 495,
     .tab_index = 8,
     .parent = std::nullopt,
     .font = std::nullopt},
    {.id = ControlId::txtfile,
     .name = "txtfile",
     .kind = ControlKind::text_box,
     .text = u"data.ipt",
     .left = 120,
     .top = 1680,
     .width = 3975,
     .height = 375,
     .tab_index = 7,
     .parent = std::nullopt,
     .font = std::nullopt},
    // Invisible at run time; only its FileName and Filter are ever set.
    {.id = ControlId::CommonDialog1,
     .name = "CommonDialog1",
     .kind = ControlKind::common_dialog,
     .text = u"",
     .left = 0,
     .top = 0,
     .width = 0,
     .height = 0,
     .tab_index = kNoFocus,
     .parent = std::nullopt,
     .font = std::nullopt},
    {.id = ControlId::cmdBrows,
     .name = "cmdBrows",
     .kind = ControlKind::push_button,
     .text = u"Open...",
     .left = 4200,
     .top = 1680,
     .width = 855,
     .height = 375,
     .tab_index = 6,
     .parent = std::nullopt,
     .font = std::nullopt},
    {.id = ControlId::frmChklist,
     .name = "frmChklist",
     .kind = ControlKind::frame,
     .text = u"Student Result",
     .left = 240,
     .top = 2280,
     .width = 4935,
     .height = 7095,
     .tab_index = 1,
     .parent = std::nullopt,
     .font = std::nullopt},
    {.id = ControlId::lbltext,
     .name = "lbltext",
     .kind = ControlKind::text_box,
     .text = u"Text1",
     .left = 120,
     .top = 240,
     .width = 4695,
     .height = 6735,
     .tab_index = 2,
     .parent = ControlId::frmChklist,
     .font = kPaneFont,
     .multi_line = true,
     .vertical_scroll = true,
     .menu_background = true},
    // Tab index 0: the countdown box has the focus when the window opens.
    {.id = ControlId::txtTime,
     .name = "txtTime",
     .kind = ControlKind::text_box,
     .text = u"5\r\n",
     .left = 4080,
     .top = 120,
     .width = 1095,
     .height = 495,
     .tab_index = 0,
     .parent = std::nullopt,
     .font = kCountdownFont,
     .multi_line = true,
     .centred = true},
    // Enabled as created, so it would tick until Form_Load switches it off.
    {.id = ControlId::Timer1,
     .name = "Timer1",
     .kind = ControlKind::timer,
     .text = u"",
     .left = 0,
     .top = 0,
     .width = 0,
     .height = 0,
     .tab_index = kNoFocus,
     .parent = std::nullopt,
     .font = std::nullopt},
    // A horizontal rule from (120, 1440) to (5160, 1440).
    {.id = ControlId::Line1,
     .name = "Line1",
     .kind = ControlKind::line,
     .text = u"",
     .left = 120,
     .top = 1440,
     .width = 5040,
     .height = 0,
     .tab_index = kNoFocus,
     .parent = std::nullopt,
     .font = std::nullopt},
    {.id = ControlId::lblexam,
     .name = "lblexam",
     .kind = ControlKind::label,
     .text = u"",
     .left = 240,
     .top = 240,
     .width = 3615,
     .height = 375,
     .tab_index = 5,
     .parent = std::nullopt,
     .font = kLabelFont},
    {.id = ControlId::lblSub,
     .name = "lblSub",
     .kind = ControlKind::label,
     .text = u"",
     .left = 240,
     .top = 600,
     .width = 3495,
     .height = 375,
     .tab_index = 4,
     .parent = std::nullopt,
     .font = kLabelFont},
    {.id = ControlId::lblClass,
     .name = "lblClass",
     .kind = ControlKind::label,
     .text = u"",
     .left = 240,
     .top = 960,
     .width = 3255,
     .height = 255,
     .tab_index = 3,
     .parent = std::nullopt,
     .font = kLabelFont},
}};

// layout_of indexes the table by id, so the table must follow ControlId.
constexpr bool ordered_by_id() {
  for (std::size_t i = 0; i < kLayout.size(); ++i) {
    if (static_cast<std::size_t>(kLayout[i].id) != i) return false;
  }
  return true;
}
static_assert(ordered_by_id(), "the layout table must list the controls in ControlId order");

}  // namespace

std::span<const ControlLayout> form1_layout() {
  return kLayout;
}

const ControlLayout& layout_of(ControlId id) {
  return kLayout[static_cast<std::size_t>(id)];
}

bool takes_focus(ControlKind kind) {
  return kind == ControlKind::push_button || kind == ControlKind::text_box;
}

std::vector<ControlId> tab_order() {
  std::vector<ControlId> order;
  for (const ControlLayout& control : kLayout) order.push_back(control.id);
  const auto key = [](ControlId id) {
    const int index = layout_of(id).tab_index;
    return index < 0 ? kLayout.size() : static_cast<std::size_t>(index);
  };
  std::stable_sort(order.begin(), order.end(),
                   [&key](ControlId a, ControlId b) { return key(a) < key(b); });
  return order;
}

}  // namespace tavrino
