// SPDX-License-Identifier: MIT
// One playback at a time on an X display. Two playbacks typing at once would
// mix their keys in one window, and the message box of one would take the
// keys of the other. A playback owns an X selection for as long as it types;
// the selection goes when the playback gives it up or when its connection
// closes, however the program ended.
#pragma once

struct _XDisplay;

namespace tavrino {

class DisplayLock {
 public:
  DisplayLock() = default;
  DisplayLock(const DisplayLock&) = delete;
  DisplayLock& operator=(const DisplayLock&) = delete;

  // Takes the lock on `display`'s connection; false when another program
  // holds it. Taken atomically: the server is grabbed from the look to the
  // take.
  bool take(_XDisplay* display);
  // Gives the lock up, if it was taken.
  void release();

 private:
  _XDisplay* display_ = nullptr;
  unsigned long window_ = 0;  // the owner of the selection
  unsigned long selection_ = 0;
};

}  // namespace tavrino
