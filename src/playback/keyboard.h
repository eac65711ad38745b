// SPDX-License-Identifier: MIT
// The seam to the platform's keystroke synthesis.
#pragma once

#include <cstddef>
#include <span>

#include "base/status.h"
#include "key_event.h"

namespace tavrino {

class Keyboard {
 public:
  virtual ~Keyboard() = default;

  // Called once before a playback with every event it will send, so that the
  // keyboard can check it can type them and prepare all at once (on X11:
  // map every character that no key has). A failure means nothing is sent.
  virtual Status begin(std::span<const KeyEvent> all_events) = 0;

  // Sends events in order to the window that has the keyboard focus. Returns
  // how many were delivered; fewer than given means failure, and `status`
  // says why.
  struct Sent {
    std::size_t delivered = 0;
    Status status = Status::success();
  };
  virtual Sent send(std::span<const KeyEvent> events) = 0;

  // Always called after begin() succeeded, also after a failure: waits until
  // what was sent has been taken, then undoes what begin() prepared.
  virtual void end() = 0;
};

}  // namespace tavrino
