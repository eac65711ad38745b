// SPDX-License-Identifier: MIT
// tavrino_bench_tty_sink OUTPUT READY RESULT TABS
//   Runs inside a terminal (xterm -e ...) as the receiving end of a typing
//   benchmark: puts the terminal into non-canonical mode without echo (a Tab
//   arrives as a tab character, nothing is cooked or drawn), creates READY,
//   and copies every byte it reads to OUTPUT. It stops once TABS tabs have
//   come and nothing followed for a moment, or when nothing has come for a
//   while after the first byte (a typist that lost characters), and then
//   writes "FIRST LAST BYTES" to RESULT: the monotonic clock in nanoseconds
//   when the first and the last byte were read, and the byte count.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

// A typist that has stopped: well above any pause a typist makes between
// keys (xdotool's default delay is 12 ms, tavrino's mapping waits 250 ms).
constexpr int kIdleMs = 3000;
// After the last tab, a short look for characters that arrive in addition.
constexpr int kLingerMs = 300;
// Nothing at all typed: give up.
constexpr int kStartMs = 120000;

long long nanoseconds(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

bool write_whole(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fputs("usage: tavrino_bench_tty_sink OUTPUT READY RESULT TABS\n", stderr);
    return 64;
  }
  const long tabs_wanted = std::strtol(argv[4], nullptr, 10);
  const int out = open(argv[1], O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (out < 0) return 1;

  termios saved{};
  const bool is_tty = tcgetattr(STDIN_FILENO, &saved) == 0;
  if (is_tty) {
    termios raw = saved;
    // Bytes as they come: no line editing, no echo, no signals from ^C, no
    // CR/LF translation, no flow control.
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
    raw.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR | IXON | ISTRIP);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcsetattr(STDIN_FILENO, TCSANOW, &raw);
  }
  const int ready = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (ready >= 0) close(ready);

  Clock::time_point first{}, last{};
  long long bytes = 0;
  long tabs = 0;
  char buffer[65536];
  for (;;) {
    const int timeout = bytes == 0 ? kStartMs : tabs >= tabs_wanted ? kLingerMs : kIdleMs;
    pollfd fd{STDIN_FILENO, POLLIN, 0};
    const int ready_fds = poll(&fd, 1, timeout);
    if (ready_fds < 0 && errno == EINTR) continue;
    if (ready_fds <= 0) break;
    const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    last = Clock::now();
    if (bytes == 0) first = last;
    bytes += got;
    tabs += std::count(buffer, buffer + got, '\t');
    if (!write_whole(out, buffer, static_cast<std::size_t>(got))) return 1;
  }
  close(out);
  if (is_tty) tcsetattr(STDIN_FILENO, TCSANOW, &saved);

  const std::string result = std::to_string(bytes == 0 ? 0 : nanoseconds(first)) + " " +
                             std::to_string(bytes == 0 ? 0 : nanoseconds(last)) + " " +
                             std::to_string(bytes) + "\n";
  // Written aside and renamed, so that whoever waits for RESULT never reads
  // half of it.
  const std::string partial = std::string(argv[3]) + ".part";
  const int fd = open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0 || !write_whole(fd, result.data(), result.size())) return 1;
  close(fd);
  return std::rename(partial.c_str(), argv[3]) == 0 ? 0 : 1;
}
