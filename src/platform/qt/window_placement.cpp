// SPDX-License-Identifier: MIT
#include "platform/qt/window_placement.h"

#include <QWidget>
#include <QWindow>

namespace tavrino {

std::int32_t QtWindowPlacement::set_window_pos(WindowHandle window, std::intptr_t insert_after,
                                               int /*x*/, int /*y*/, int /*cx*/, int /*cy*/,
                                               std::uint32_t flags) {
  constexpr std::uint32_t kKeep = kSwpNosize | kSwpNomove;
  if ((flags & kKeep) != kKeep) return 0;
  if (insert_after != kHwndTopmost) return 0;
  QWidget* const widget = QWidget::find(static_cast<WId>(window));
  if (!widget || !widget->isWindow()) return 0;
  if (widget->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) return 1;

  // Changing a widget's window flags hides it (Qt re-parents it); a window
  // that was on screen is shown again, where it was. Called before the first
  // show, as at start-up, nothing flickers.
  const bool was_visible = widget->isVisible();
  widget->setWindowFlag(Qt::WindowStaysOnTopHint, true);
  if (QWindow* const handle = widget->windowHandle()) {
    handle->setFlag(Qt::WindowStaysOnTopHint, true);
  }
  if (was_visible) widget->show();
  return 1;
}

}  // namespace tavrino
