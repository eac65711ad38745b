// SPDX-License-Identifier: MIT
// One playback at a time on a Wayland display: a lock on a file in the
// user's runtime folder, named after the display. The kernel lets go of it
// when the process ends, however it ends, so a killed tavrino never leaves
// the next one locked out.
#pragma once

#include <string>

namespace tavrino {

class RuntimeLock {
 public:
  RuntimeLock() = default;
  RuntimeLock(const RuntimeLock&) = delete;
  RuntimeLock& operator=(const RuntimeLock&) = delete;
  ~RuntimeLock();  // releases it

  // The lock file for the display `name` (WAYLAND_DISPLAY) in `folder`
  // (XDG_RUNTIME_DIR, or the temporary folder when that is unset).
  static std::string path_for(const char* folder, const char* name);

  // Takes the lock at `path` without waiting; false while another process
  // holds it. A file that cannot be made at all counts as free, since a
  // missing lock must not keep anyone from typing.
  bool take(const std::string& path);
  void release();

 private:
  int fd_ = -1;
};

}  // namespace tavrino
