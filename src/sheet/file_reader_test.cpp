// SPDX-License-Identifier: MIT
#include "sheet/file_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "base/scratch_dir.h"
#include "base/text.h"

namespace tavrino {
namespace {

namespace fs = std::filesystem;

std::string text_of(const std::vector<std::byte>& bytes) {
  return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// A file of `size` bytes that takes no room on the disk.
fs::path sparse_file(const ScratchDir& dir, std::uintmax_t size) {
  const fs::path path = dir.path() / "sparse.img";
  std::ofstream(path, std::ios::binary).put('3');
  fs::resize_file(path, size);
  return path;
}

TEST(StandardFileReader, ReadsRegularFilesWithinTheLimit) {
  constexpr std::uint64_t kLimit = 1024;
  const StandardFileReader reader(ReadLimits{.max_bytes = kLimit});
  ScratchDir dir;
  const struct {
    const char* what;
    std::function<fs::path()> make;
    std::string content;  // read whole when `message` is empty
    std::string message;  // after the quoted path
  } cases[] = {
      {"small", [&] { return dir.write("a.ipt", "3,x,Ann"); }, "3,x,Ann", ""},
      {"at the limit", [&] { return dir.write("l.ipt", std::string(kLimit, 'x')); },
       std::string(kLimit, 'x'), ""},
      {"one byte over", [&] { return dir.write("o.ipt", std::string(kLimit + 1, 'x')); }, "",
       " is larger than 1 KB"},
      // Refused by its size: reading 4 GB would take seconds.
      {"sparse 4 GB", [&] { return sparse_file(dir, std::uintmax_t{4} << 30); }, "",
       " is larger than 1 KB"},
      {"missing", [&] { return dir.path() / "missing.ipt"; }, "", ": No such file or directory."},
      {"folder", [&] { return dir.path(); }, "", ": Is a directory."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path path = c.make();
    std::vector<std::byte> bytes{std::byte{'?'}};
    const Status status = reader.read_file(path.u16string(), bytes);
    if (c.message.empty()) {
      EXPECT_TRUE(status.ok()) << utf16_to_utf8(status.message());
      EXPECT_EQ(text_of(bytes), c.content);
    } else {
      EXPECT_TRUE(bytes.empty());
      EXPECT_NE(utf16_to_utf8(status.message()).find("\"" + path.string() + "\"" + c.message),
                std::string::npos)
          << utf16_to_utf8(status.message());
    }
  }
}

TEST(StandardFileReader, RefusesWhatIsNoRegularFile) {
  // Devices never end (/dev/zero) or wait for ever (a terminal); the
  // standard library cannot read them with a time limit.
  const StandardFileReader reader;
  for (const char* device : {"/dev/zero", "/dev/null"}) {
    if (!fs::exists(device)) continue;
    std::vector<std::byte> bytes;
    const Status status = reader.read_file(utf8_to_utf16(device), bytes);
    EXPECT_NE(utf16_to_utf8(status.message()).find("not a regular file"), std::string::npos);
  }
}

// A file that hands out `content` in pieces of at most `piece` bytes, and
// fails once `fail_after` bytes are out.
struct PieceSource {
  std::string content;
  std::size_t piece;
  std::size_t fail_after = std::string::npos;
  std::size_t at = 0;
  std::size_t calls = 0;

  std::size_t read(std::byte* into, std::size_t count, std::error_code& error) {
    ++calls;
    if (at >= fail_after) {
      error = std::make_error_code(std::errc::io_error);
      return 0;
    }
    const std::size_t n = std::min({count, piece, content.size() - at});
    std::memcpy(into, content.data() + at, n);
    at += n;
    return n;
  }
};

TEST(FileReader, ReadWithinTakesEveryPieceUpToTheLimit) {
  constexpr std::uint64_t kLimit = 100;
  const std::string big(150 * 1024, 'x');  // longer than a read chunk
  const struct {
    const char* what;
    std::string content;
    std::size_t piece;
    std::optional<std::uint64_t> size;  // what the file says it holds
    std::uint64_t limit = kLimit;
    std::size_t fail_after = std::string::npos;
    bool ok = true;
  } cases[] = {
      {"whole at once", "3,x,Ann", 1000, 7},
      {"says nothing of its size", "3,x,Ann", 3, std::nullopt},
      {"grew after it said its size", "3,x,Ann,Bob", 2, 3},
      {"shrank after it said its size", "3,x", 2, 50},
      {"at the limit", std::string(kLimit, 'y'), 7, kLimit},
      {"grew past the limit", std::string(kLimit + 1, 'y'), 7, 10, kLimit, std::string::npos,
       false},
      {"past the limit without a size", std::string(3 * kLimit, 'y'), 1000, std::nullopt, kLimit,
       std::string::npos, false},
      {"longer than a chunk", big, 10000, std::nullopt, big.size()},
      {"fails in the middle", "3,x,Ann", 2, 7, kLimit, 4, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PieceSource source{c.content, c.piece, c.fail_after};
    std::vector<std::byte> bytes{std::byte{'?'}};
    const Status status = read_within(
        u"p", c.size, c.limit,
        [&source](std::byte* into, std::size_t count, std::error_code& error) {
          return source.read(into, count, error);
        },
        bytes);
    EXPECT_EQ(status.ok(), c.ok) << utf16_to_utf8(status.message());
    if (c.ok) {
      EXPECT_TRUE(text_of(bytes) == c.content) << text_of(bytes).size();
    } else {
      EXPECT_TRUE(bytes.empty());
      EXPECT_TRUE(status.message().starts_with(c.fail_after == std::string::npos
                                                   ? u"The file \"p\" is larger than"
                                                   : u"Cannot read \"p\""))
          << utf16_to_utf8(status.message());
      // No more than one byte past the limit is ever asked for.
      EXPECT_LE(source.at, c.limit + 1);
    }
  }
}

}  // namespace
}  // namespace tavrino
