// SPDX-License-Identifier: MIT
// Messages to the user as Qt message boxes over the main window.
#pragma once

#include <string_view>

#include "window/controls.h"

class QWidget;

namespace tavrino {

class QtMessages final : public Messages {
 public:
  // `window` owns the boxes, and is blocked while one it opened while
  // active is open.
  explicit QtMessages(QWidget* window) : window_(window) {}

  // Opens a window-modal warning box and returns at once: the handler that
  // reports a failure finishes, and the box goes away when the user closes it.
  // When tavrino's window is not the active one, the box is not modal and
  // does not take the keyboard focus. The message also goes to standard
  // error.
  void show_message(std::u16string_view text) override;
  // In the window's title, in front of its caption.
  void show_status(std::u16string_view text) override;
  // On standard error only, as "tavrino: ...".
  void log(std::u16string_view text) override;

 private:
  QWidget* window_;
};

}  // namespace tavrino
