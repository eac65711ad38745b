// SPDX-License-Identifier: MIT
// Catching what goes wrong on one X connection instead of letting Xlib end
// the process. Xlib's error handlers are process-wide, and the default ones
// end the process when the server refuses a request or the connection is
// lost; a playback must fail with a message instead, and release what it
// holds where it still can.
#pragma once

#include <string>
#include <vector>

struct _XDisplay;

namespace tavrino {

// What went wrong on one connection.
struct XErrors {
  // The connection is gone: nothing more can be sent or received.
  bool lost = false;
  // The serial number of the first request that the server refused, and its
  // error code; 0 when none was refused.
  unsigned long serial = 0;
  int code = 0;
  // Requests whose failure is of no matter (an event sent to a window that
  // may have gone meanwhile), by serial number: their errors are not
  // recorded.
  std::vector<unsigned long> tolerated;
};

// Why the keyboard cannot go on once the X connection is gone.
std::u16string connection_lost();

// Makes the loss of `display`'s connection set `errors.lost` where Xlib would
// otherwise end the process once the I/O error handler returns. Lasts as
// long as the connection; `errors` must outlive it.
void catch_connection_loss(_XDisplay* display, XErrors& errors);

// While it lives, X errors and I/O errors of `display` are recorded in
// `errors` (of refused requests, only the first), and those of every other
// connection go to the handlers that were set before. Traps nest: an inner
// one hands the handlers back to the outer one when it goes. Not for use on
// more than one thread at a time.
class ErrorTrap {
 public:
  ErrorTrap(_XDisplay* display, XErrors& errors);
  ~ErrorTrap();
  ErrorTrap(const ErrorTrap&) = delete;
  ErrorTrap& operator=(const ErrorTrap&) = delete;

 private:
  friend struct ErrorRouting;  // the handlers, in error_trap.cpp
  using Handler = void (*)();  // an Xlib handler, its type kept out of here

  _XDisplay* display_;
  XErrors& errors_;
  ErrorTrap* outer_;
  Handler saved_;
  Handler saved_io_;
};

}  // namespace tavrino
