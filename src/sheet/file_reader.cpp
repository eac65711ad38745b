// SPDX-License-Identifier: MIT
#include "sheet/file_reader.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <fstream>
#include <type_traits>
#include <utility>

#include "base/text.h"

namespace tavrino {
namespace {

// The reason for a failed file operation as the user should read it: the
// portable wording where there is one (so Windows and Linux say "No such file
// or directory" alike), else the system's own, ending in one full stop.
std::u16string reason_for(std::error_code code) {
  std::string reason = code.default_error_condition().message();
  while (!reason.empty() && (reason.back() == '.' || reason.back() == ' ' ||
                             reason.back() == '\r' || reason.back() == '\n')) {
    reason.pop_back();
  }
  if (reason.empty()) reason = "unknown error";
  return utf8_to_utf16(reason) + u".";
}

std::error_code last_error() {
  return {errno != 0 ? errno : EIO, std::generic_category()};
}

// The system's own form of a path, by what its paths are made of: 16-bit
// units on Windows, taken as they are, and bytes elsewhere.
[[maybe_unused]] void to_native(std::u16string_view path, std::wstring& native) {
  static_assert(sizeof(wchar_t) == 2 ||
                !std::is_same_v<std::filesystem::path::value_type, wchar_t>);
  native.assign(path.begin(), path.end());
}
[[maybe_unused]] void to_native(std::u16string_view path, std::string& native) {
  native = path_to_bytes(path);
}
[[maybe_unused]] std::u16string from_native(const std::wstring& native) {
  return std::u16string(native.begin(), native.end());
}
[[maybe_unused]] std::u16string from_native(const std::string& native) {
  return path_from_bytes(native);
}

}  // namespace

std::filesystem::path filesystem_path(std::u16string_view path) {
  std::filesystem::path::string_type native;
  to_native(path, native);
  return std::filesystem::path(std::move(native));
}

std::u16string path_text(const std::filesystem::path& path) {
  return from_native(path.native());
}

std::u16string size_text(std::uint64_t bytes) {
  constexpr std::uint64_t kKilo = 1024;
  if (bytes != 0 && bytes % (kKilo * kKilo) == 0) {
    return to_text(static_cast<std::int64_t>(bytes / (kKilo * kKilo))) + u" MB";
  }
  if (bytes != 0 && bytes % kKilo == 0) {
    return to_text(static_cast<std::int64_t>(bytes / kKilo)) + u" KB";
  }
  return to_text(static_cast<std::int64_t>(bytes)) + (bytes == 1 ? u" byte" : u" bytes");
}

std::u16string duration_text(std::chrono::milliseconds time) {
  const auto ms = time.count();
  if (ms % 1000 != 0) return to_text(ms) + u" milliseconds";
  return to_text(ms / 1000) + (ms == 1000 ? u" second" : u" seconds");
}

std::u16string cannot_open_message(std::u16string_view path, std::error_code code) {
  return u"Cannot open " + quoted(path) + u": " + reason_for(code);
}

std::u16string cannot_read_message(std::u16string_view path, std::error_code code) {
  return u"Cannot read " + quoted(path) + u": " + reason_for(code);
}

std::u16string not_a_file_message(std::u16string_view path) {
  return u"Cannot open " + quoted(path) +
         u": it is not a regular file but a pipe, a device or a socket.";
}

std::u16string too_large_message(std::u16string_view path, std::uint64_t max_bytes) {
  return u"The file " + quoted(path) + u" is larger than " + size_text(max_bytes) +
         u", the most a data file may hold, so it is not read.";
}

std::u16string nothing_arrived_message(std::u16string_view path, std::chrono::milliseconds quiet) {
  return u"Cannot read " + quoted(path) + u": nothing arrived from it for " + duration_text(quiet) +
         u", so it is given up.";
}

std::u16string too_slow_message(std::u16string_view path, std::chrono::milliseconds total) {
  return u"Cannot read " + quoted(path) + u": it did not deliver its whole content within " +
         duration_text(total) + u", so it is given up.";
}

Status read_within(std::u16string_view path, std::optional<std::uint64_t> size,
                   std::uint64_t max_bytes, const ReadSome& read, std::vector<std::byte>& bytes) {
  bytes.clear();
  // One byte past the limit tells a file that has grown past it since it
  // gave its size.
  const std::uint64_t want = max_bytes + 1;
  constexpr std::size_t kChunk = 64 * 1024;
  if (size) bytes.reserve(static_cast<std::size_t>(std::min(*size + 1, want)));
  while (bytes.size() < want) {
    const std::size_t at = bytes.size();
    // Fill what was reserved for the size the file gave before growing.
    const std::size_t room = bytes.capacity() > at ? bytes.capacity() - at : kChunk;
    const auto chunk = static_cast<std::size_t>(std::min<std::uint64_t>(room, want - at));
    bytes.resize(at + chunk);
    std::error_code error;
    const std::size_t got = read(bytes.data() + at, chunk, error);
    if (error) {
      bytes.clear();
      return Status::failure(cannot_read_message(path, error));
    }
    bytes.resize(at + std::min(got, chunk));
    if (got == 0) return Status::success();
  }
  bytes.clear();
  return Status::failure(too_large_message(path, max_bytes));
}

Status StandardFileReader::read_file(std::u16string_view path,
                                     std::vector<std::byte>& bytes) const {
  namespace fs = std::filesystem;
  bytes.clear();
  fs::path file;
  try {
    file = filesystem_path(path);
  } catch (const std::exception&) {
    return Status::failure(u"Cannot open " + quoted(path) + u": the name is not a valid path.");
  }

  std::error_code code;
  const fs::file_status info = fs::status(file, code);
  if (code) return Status::failure(cannot_open_message(path, code));
  // Opening a directory for reading succeeds on some systems and only the
  // first read fails, with a less helpful reason.
  if (fs::is_directory(info)) {
    return Status::failure(
        cannot_open_message(path, std::make_error_code(std::errc::is_a_directory)));
  }
  // Opening a pipe with no writer, or reading a terminal, would wait for ever.
  if (!fs::is_regular_file(info)) return Status::failure(not_a_file_message(path));
  // A sparse file of gigabytes is refused by its size before any of it is read.
  const std::uintmax_t size = fs::file_size(file, code);
  if (!code && size > limits_.max_bytes) {
    return Status::failure(too_large_message(path, limits_.max_bytes));
  }

  errno = 0;
  std::ifstream in(file, std::ios::binary);
  if (!in) return Status::failure(cannot_open_message(path, last_error()));
  const ReadSome read = [&in](std::byte* into, std::size_t count, std::error_code& error) {
    errno = 0;
    in.read(reinterpret_cast<char*>(into), static_cast<std::streamsize>(count));
    if (in.bad()) error = last_error();
    return static_cast<std::size_t>(in.gcount());
  };
  return read_within(path, code ? std::nullopt : std::optional<std::uint64_t>(size),
                     limits_.max_bytes, read, bytes);
}

}  // namespace tavrino
