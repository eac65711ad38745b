// SPDX-License-Identifier: MIT
// Reading a whole file into memory, within limits. The data file reader takes
// the bytes it decodes from a FileReader, once: a file read twice can change
// in between, and a pipe gives its bytes only once.
//
// A FileReader never waits without end and never holds more than the limit:
// a file larger than max_bytes is refused as soon as that shows (for a
// regular file, by its size, before reading any of it). What the standard
// library can read safely is regular files, and StandardFileReader reads
// those alone; a platform that can wait on a pipe or a device with a time
// limit provides a reader that reads them as streams too, refusing one that
// sends nothing for `quiet` or has not sent everything within `total`.
//
// Every reader says the same things, in the sentences below, so that a file
// is refused with the same words on every platform.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/status.h"

namespace tavrino {

// 16 MB. A data file of 51 entries with long names is a few kilobytes; the
// limit only keeps something that is not a data file (a disk image, a device
// that never ends) from filling the memory.
inline constexpr std::uint64_t kMaxFileSize = 16 * 1024 * 1024;

struct ReadLimits {
  std::uint64_t max_bytes = kMaxFileSize;
  // Pipes and devices only: the longest wait for the next bytes, and for the
  // whole. Short enough that a window reading one is not frozen for long.
  std::chrono::milliseconds quiet{1000};
  std::chrono::milliseconds total{3000};
};

class FileReader {
 public:
  virtual ~FileReader() = default;
  // Replaces `bytes` with the whole content of the file at `path`. On failure
  // the message is one sentence naming `path`, and `bytes` is empty.
  virtual Status read_file(std::u16string_view path, std::vector<std::byte>& bytes) const = 0;
};

// Regular files through std::ifstream; anything else (a pipe, a terminal, a
// device) is refused, since the standard library has no way to read it
// without the risk of waiting for ever.
class StandardFileReader final : public FileReader {
 public:
  explicit StandardFileReader(ReadLimits limits = {}) : limits_(limits) {}
  Status read_file(std::u16string_view path, std::vector<std::byte>& bytes) const override;

 private:
  ReadLimits limits_;
};

// Reads from `read` into `bytes` until the end, or refuses once there are
// more than `max_bytes`. `size` is what the file said it holds, when it
// could say: a hint for the memory to reserve, since a file can grow or
// shrink while it is read (and those in /proc say they hold nothing). Each
// call of `read` puts up to `count` bytes at `into` and returns how many, 0
// at the end, or sets `error`. On failure the message names `path`, and
// `bytes` is empty. The one read loop of every FileReader of a regular file.
using ReadSome =
    std::function<std::size_t(std::byte* into, std::size_t count, std::error_code& error)>;
Status read_within(std::u16string_view path, std::optional<std::uint64_t> size,
                   std::uint64_t max_bytes, const ReadSome& read, std::vector<std::byte>& bytes);

// The core's paths are 16-bit text; the file system's are what the system
// takes: UTF-16 on Windows, unchanged; bytes elsewhere, through
// path_to_bytes, so that a name that is not UTF-8 reaches the file it names.
std::filesystem::path filesystem_path(std::u16string_view path);
// And back: the core's text for a path of the file system.
std::u16string path_text(const std::filesystem::path& path);

// The sentences of a refused read, each naming `path`.
std::u16string cannot_open_message(std::u16string_view path, std::error_code code);
std::u16string cannot_read_message(std::u16string_view path, std::error_code code);
std::u16string not_a_file_message(std::u16string_view path);
std::u16string too_large_message(std::u16string_view path, std::uint64_t max_bytes);
std::u16string nothing_arrived_message(std::u16string_view path, std::chrono::milliseconds quiet);
std::u16string too_slow_message(std::u16string_view path, std::chrono::milliseconds total);

// An amount of bytes as the messages write it: "16 MB", "4 KB", "100 bytes".
std::u16string size_text(std::uint64_t bytes);

// A time as the messages write it: "1 second", "3 seconds", "2500
// milliseconds".
std::u16string duration_text(std::chrono::milliseconds time);

}  // namespace tavrino
