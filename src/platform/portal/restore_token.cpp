// SPDX-License-Identifier: MIT
#include "platform/portal/restore_token.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>

namespace tavrino {

std::filesystem::path restore_token_path(const char* xdg_state_home, const char* home) {
  std::filesystem::path base;
  if (xdg_state_home != nullptr && xdg_state_home[0] == '/') {
    base = xdg_state_home;
  } else if (home != nullptr && home[0] == '/') {
    base = std::filesystem::path(home) / ".local" / "state";
  } else {
    return {};
  }
  return base / "tavrino" / "remote-desktop-token";
}

std::filesystem::path restore_token_path() {
  return restore_token_path(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
}

std::string read_restore_token(const std::filesystem::path& path) {
  if (path.empty()) return {};
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::string token((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  while (!token.empty() && (token.back() == '\n' || token.back() == '\r')) token.pop_back();
  return token;
}

bool write_restore_token(const std::filesystem::path& path, const std::string& token) {
  if (path.empty()) return false;
  std::error_code error;
  if (token.empty()) {
    std::filesystem::remove(path, error);
    return !error;
  }
  std::filesystem::create_directories(path.parent_path(), error);
  if (error) return false;
  // Written beside it and renamed over it, so that a crash leaves the old
  // token or the new one, never half of one.
  const std::filesystem::path temporary = path.string() + ".new";
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const std::string line = token + "\n";
  const bool written = write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  if (close(fd) != 0 || !written) {
    std::filesystem::remove(temporary, error);
    return false;
  }
  std::filesystem::rename(temporary, path, error);
  return !error;
}

}  // namespace tavrino
