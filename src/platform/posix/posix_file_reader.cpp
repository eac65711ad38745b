// SPDX-License-Identifier: MIT
#include "platform/posix/posix_file_reader.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>
#include <system_error>

#include "base/text.h"

namespace tavrino {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kChunk = 64 * 1024;

std::error_code error_of(int number) {
  return {number, std::generic_category()};
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() { ::close(fd_); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Reads up to `count` bytes into `into`: the count read, 0 at the end, or
// -1 with errno set (never EINTR).
ssize_t read_some(int fd, std::byte* into, std::size_t count) {
  ssize_t got;
  do {
    got = ::read(fd, into, count);
  } while (got < 0 && errno == EINTR);
  return got;
}

Status read_regular(int fd, std::u16string_view path, const struct stat& info,
                    const ReadLimits& limits, std::vector<std::byte>& bytes) {
  // A sparse file of gigabytes is refused by its size, before any of it is read.
  const auto size = static_cast<std::uint64_t>(info.st_size);
  if (size > limits.max_bytes) return Status::failure(too_large_message(path, limits.max_bytes));
  const ReadSome read = [fd](std::byte* into, std::size_t count, std::error_code& error) {
    const ssize_t got = read_some(fd, into, count);
    if (got < 0) error = error_of(errno);
    return static_cast<std::size_t>(std::max<ssize_t>(got, 0));
  };
  return read_within(path, size, limits.max_bytes, read, bytes);
}

// A pipe or a device, opened without blocking: waits for bytes with poll, so
// that every wait has an end.
Status read_stream(int fd, std::u16string_view path, const ReadLimits& limits,
                   std::vector<std::byte>& bytes) {
  const Clock::time_point deadline = Clock::now() + limits.total;
  while (true) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) {
      return Status::failure(too_slow_message(path, limits.total));
    }
    const auto wait =
        std::chrono::ceil<std::chrono::milliseconds>(std::min<Clock::duration>(limits.quiet, left));
    pollfd ready{.fd = fd, .events = POLLIN, .revents = 0};
    const int polled = ::poll(&ready, 1, static_cast<int>(wait.count()));
    if (polled < 0) {
      if (errno == EINTR) continue;
      return Status::failure(cannot_read_message(path, error_of(errno)));
    }
    if (polled == 0) {
      // A FIFO that no program has opened for writing ends up here too: on
      // Linux it is neither readable nor hung up until a writer has come.
      if (Clock::now() >= deadline) return Status::failure(too_slow_message(path, limits.total));
      return Status::failure(nothing_arrived_message(path, limits.quiet));
    }
    const std::size_t at = bytes.size();
    const auto room = limits.max_bytes + 1 - at;
    bytes.resize(at + static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, room)));
    const ssize_t got = read_some(fd, bytes.data() + at, bytes.size() - at);
    bytes.resize(at + static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
    if (got == 0) return Status::success();  // the writer has closed it
    if (got < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK) continue;
      return Status::failure(cannot_read_message(path, error_of(errno)));
    }
    if (bytes.size() > limits.max_bytes) {
      return Status::failure(too_large_message(path, limits.max_bytes));
    }
  }
}

}  // namespace

Status PosixFileReader::read_file(std::u16string_view path, std::vector<std::byte>& bytes) const {
  bytes.clear();
  const std::string name = path_to_bytes(path);
  if (name.find('\0') != std::string::npos) {
    return Status::failure(u"Cannot open " + quoted(path) + u": the name is not a valid path.");
  }

  // Without O_NONBLOCK, opening a FIFO that nobody writes to would wait for
  // a writer for ever. O_NOCTTY: a terminal named here must not become ours.
  int fd;
  do {
    fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    const int error = errno;
    struct stat info {};
    // A socket cannot be opened at all; say what it is rather than "No such
    // device or address".
    if (error == ENXIO && ::stat(name.c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) {
      return Status::failure(not_a_file_message(path));
    }
    return Status::failure(cannot_open_message(path, error_of(error)));
  }
  const Descriptor file(fd);

  struct stat info {};
  if (::fstat(fd, &info) != 0) return Status::failure(cannot_open_message(path, error_of(errno)));
  Status status = Status::success();
  if (S_ISDIR(info.st_mode)) {
    status = Status::failure(cannot_open_message(path, error_of(EISDIR)));
  } else if (S_ISREG(info.st_mode)) {
    status = read_regular(fd, path, info, limits_, bytes);
  } else if (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode)) {
    status = read_stream(fd, path, limits_, bytes);
  } else {
    status = Status::failure(not_a_file_message(path));
  }
  if (!status) bytes.clear();
  return status;
}

}  // namespace tavrino
