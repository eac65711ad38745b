// SPDX-License-Identifier: MIT
#include "platform/posix/runtime_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace tavrino {

RuntimeLock::~RuntimeLock() {
  release();
}

std::string RuntimeLock::path_for(const char* folder, const char* name) {
  std::string path = folder != nullptr && *folder == '/' ? folder : "/tmp";
  std::string display = name != nullptr && *name != '\0' ? name : "wayland-0";
  // A display may be named by a path; the lock's name keeps only its last part.
  if (const auto slash = display.rfind('/'); slash != std::string::npos) {
    display = display.substr(slash + 1);
  }
  return path + "/tavrino-typing-" + display + ".lock";
}

bool RuntimeLock::take(const std::string& path) {
  release();
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return true;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return errno != EWOULDBLOCK;
  }
  fd_ = fd;
  return true;
}

void RuntimeLock::release() {
  if (fd_ < 0) return;
  flock(fd_, LOCK_UN);
  close(fd_);
  fd_ = -1;
}

}  // namespace tavrino
