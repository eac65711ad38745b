// SPDX-License-Identifier: MIT
// The keys a playback's records pressed and have not let go of yet, so that
// every way out of a playback lets go of them all. No Windows call is made
// here: the session notes what went into the input stream, and sends what
// this gives back.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstddef>
#include <span>
#include <vector>

namespace tavrino {

// Whether `input` is a key going down.
bool is_down(const INPUT& input);

class KeysDown {
 public:
  // Notes records that went into the input stream, in order: a key going
  // down is held until a record of the same key goes up.
  void went_in(std::span<const INPUT> inputs);
  // The records that let go of every key held, the last pressed first, and
  // forgets them. Alt is let go of after a tap of the key no layout assigns,
  // since Alt let go of alone would open the target's menu bar.
  std::vector<INPUT> release_all();

 private:
  std::vector<INPUT> down_;  // key-down records, in the order they went in
};

}  // namespace tavrino
