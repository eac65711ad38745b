// SPDX-License-Identifier: MIT
#include "platform/x11/error_trap.h"

#include <algorithm>

#include "platform/x11/xlib.h"

namespace tavrino {

std::u16string connection_lost() {
  return u"The connection to the X server was lost.";
}

struct ErrorRouting {
  static int on_error(Display* display, XErrorEvent* error) {
    if (current != nullptr && display == current->display_) {
      XErrors& errors = current->errors_;
      const bool tolerated = std::find(errors.tolerated.begin(), errors.tolerated.end(),
                                       error->serial) != errors.tolerated.end();
      if (errors.serial == 0 && !tolerated) {
        errors.serial = error->serial;
        errors.code = error->error_code;
      }
      return 0;
    }
    return forward != nullptr ? forward(display, error) : 0;
  }

  static int on_io_error(Display* display) {
    if (current != nullptr && display == current->display_) {
      current->errors_.lost = true;
      return 0;
    }
    return forward_io != nullptr ? forward_io(display) : 0;
  }

  static void on_connection_lost(Display*, void* errors) {
    static_cast<XErrors*>(errors)->lost = true;
  }

  static inline ErrorTrap* current = nullptr;
  // The handlers that were in place before ours: every other connection's
  // errors go there.
  static inline XErrorHandler forward = nullptr;
  static inline XIOErrorHandler forward_io = nullptr;
};

void catch_connection_loss(Display* display, XErrors& errors) {
  XSetIOErrorExitHandler(display, &ErrorRouting::on_connection_lost, &errors);
}

ErrorTrap::ErrorTrap(Display* display, XErrors& errors)
    : display_(display),
      errors_(errors),
      outer_(ErrorRouting::current),
      saved_(reinterpret_cast<Handler>(XSetErrorHandler(&ErrorRouting::on_error))),
      saved_io_(reinterpret_cast<Handler>(XSetIOErrorHandler(&ErrorRouting::on_io_error))) {
  ErrorRouting::current = this;
  const auto saved = reinterpret_cast<XErrorHandler>(saved_);
  const auto saved_io = reinterpret_cast<XIOErrorHandler>(saved_io_);
  if (saved != &ErrorRouting::on_error) ErrorRouting::forward = saved;
  if (saved_io != &ErrorRouting::on_io_error) ErrorRouting::forward_io = saved_io;
}

ErrorTrap::~ErrorTrap() {
  XSetErrorHandler(reinterpret_cast<XErrorHandler>(saved_));
  XSetIOErrorHandler(reinterpret_cast<XIOErrorHandler>(saved_io_));
  ErrorRouting::current = outer_;
}

}  // namespace tavrino
