// SPDX-License-Identifier: MIT
#include "platform/posix/posix_file_reader.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <functional>
#include <stop_token>
#include <thread>

#include "base/scratch_dir.h"
#include "base/text.h"
#include "sheet/data_file.h"

namespace tavrino {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

// Small limits keep the waits of these tests short.
constexpr ReadLimits kLimits{
    .max_bytes = 4096, .quiet = milliseconds(300), .total = milliseconds(1200)};
const std::string kData = "1\nx\nAnn\n45\n";

void write_all(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n <= 0) return;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
}

using Act = std::function<void(int, std::stop_token)>;

// The program at the other end of a pipe or FIFO: opens it with `open` (which
// may wait for the reader), does `act` with the descriptor until `act`
// returns, and closes it. The thread is told to stop, and joined, as it goes.
std::jthread writer(std::function<int()> open, Act act) {
  return std::jthread([open, act](std::stop_token stop) {
    const int fd = open();
    if (fd < 0) return;
    act(fd, stop);
    ::close(fd);
  });
}

// Sends `data`, with `pause` after each byte when there is one; then keeps
// its end open until the test is done with it when told to hold.
Act send(std::string data, milliseconds pause = {}, bool hold = false) {
  return [=](int fd, std::stop_token stop) {
    const std::size_t piece = pause.count() > 0 ? 1 : data.size();
    for (std::size_t at = 0; at < data.size(); at += piece) {
      write_all(fd, std::string_view(data).substr(at, piece));
      std::this_thread::sleep_for(pause);
    }
    while (hold && !stop.stop_requested()) std::this_thread::sleep_for(milliseconds(10));
  };
}
Act forever(std::size_t bytes, milliseconds pause) {
  return [bytes, pause](int fd, std::stop_token stop) {
    // Ends when the reader has gone and the pipe breaks.
    while (!stop.stop_requested() && ::write(fd, std::string(bytes, 'x').data(), bytes) > 0) {
      std::this_thread::sleep_for(pause);
    }
  };
}

// Makes what is read in the folder; returns its path as bytes.
using Make = std::function<std::string(const ScratchDir&, std::jthread&)>;

Make file(std::string name, std::string content) {
  return [=](const ScratchDir& d, auto&) { return d.write(name, content).native(); };
}
Make named(std::string path) {
  return [path](const ScratchDir&, auto&) { return path; };
}
// A FIFO, with a writer doing `act` unless there is none.
Make fifo(Act act) {
  return [act](const ScratchDir& d, std::jthread& thread) {
    const fs::path path = d.path() / "fifo.ipt";
    EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
    const auto open = [path] { return ::open(path.c_str(), O_WRONLY | O_CLOEXEC); };
    if (act) thread = writer(open, act);
    return path.native();
  };
}
// A socket stays in its folder after its program closed it.
std::string socket_in(const ScratchDir& d, std::jthread&) {
  const std::string path = (d.path() / "socket").native();
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  path.copy(address.sun_path, sizeof address.sun_path - 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(fd);
  return path;
}

// The message a refusal gives for a path; none when the content is read.
using Refusal = std::function<std::u16string(std::u16string_view)>;
const Refusal too_large = [](std::u16string_view p) {
  return too_large_message(p, kLimits.max_bytes);
};
const Refusal quiet = [](std::u16string_view p) {
  return nothing_arrived_message(p, kLimits.quiet);
};
Refusal cannot_open(int error) {
  return [error](std::u16string_view p) {
    return cannot_open_message(p, {error, std::generic_category()});
  };
}

TEST(PosixFileReader, ReadsFilesPipesAndDevicesWithinLimits) {
  const struct {
    const char* what;
    Make make;
    std::string content;  // read whole when not refused
    Refusal refused;
  } cases[] = {
      {"regular file", file("a.ipt", kData), kData, nullptr},
      {"file at the limit", file("a", std::string(4096, 'x')), std::string(4096, 'x'), nullptr},
      {"file over the limit", file("a", std::string(4097, 'x')), "", too_large},
      {"sparse 4 GB file",
       [](const ScratchDir& d, auto&) {
         const fs::path path = d.write("sparse.img", "3");
         fs::resize_file(path, std::uintmax_t{4} << 30);
         return path.native();
       },
       "", too_large},
      {"name that is not UTF-8", file("Zo\xEB.ipt", kData), kData, nullptr},
      {"missing file", named("/nonexistent/none.ipt"), "", cannot_open(ENOENT)},
      {"folder", named("/"), "", cannot_open(EISDIR)},
      {"socket", socket_in, "", not_a_file_message},
      {"FIFO without a writer", fifo(nullptr), "", quiet},
      {"FIFO written in parts, then closed", fifo(send(kData, milliseconds(5))), kData, nullptr},
      {"FIFO that stops sending without closing", fifo(send("1\nx\n", {}, true)), "", quiet},
      {"FIFO that trickles on and on", fifo(forever(1, milliseconds(20))), "",
       [](std::u16string_view p) { return too_slow_message(p, kLimits.total); }},
      {"FIFO that sends more than the limit", fifo(forever(1000, milliseconds(0))), "", too_large},
      {"/dev/null", named("/dev/null"), "", nullptr},
      {"/dev/zero", named("/dev/zero"), "", too_large},
  };
  ::signal(SIGPIPE, SIG_IGN);
  const PosixFileReader reader(kLimits);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const ScratchDir dir;
    std::jthread thread;
    const std::u16string path = path_from_bytes(c.make(dir, thread));
    std::vector<std::byte> bytes{std::byte{'?'}};
    const Status status = reader.read_file(path, bytes);
    if (!c.refused) {
      EXPECT_TRUE(status.ok()) << utf16_to_utf8(status.message());
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()), c.content);
    } else {
      EXPECT_TRUE(bytes.empty());
      EXPECT_EQ(status.message(), c.refused(path));
    }
  }
}

// The whole way from a pipe, named as "/dev/stdin" or "<(command)" name it,
// to the sheet: what the pipe gives is what the same file gives.
TEST(PosixFileReader, LoadsAPipeLikeTheFile) {
  const std::string file = "2\nx\nZo\xC3\xAB_%_Bob\n45_%_52\nx\nx\n7A\nx\nArt\nx\nFinal\nT3\n";
  const ScratchDir dir;
  const PosixFileReader reader;
  ResultSheet from_file, from_pipe;
  ASSERT_TRUE(readfile(dir.write("f.ipt", file).u16string(), from_file, reader).ok());
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  {
    const std::jthread thread = writer([&] { return ends[1]; }, send(file));
    const Status status =
        readfile(utf8_to_utf16("/dev/fd/" + std::to_string(ends[0])), from_pipe, reader);
    EXPECT_TRUE(status.ok()) << utf16_to_utf8(status.message());
  }
  ::close(ends[0]);
  EXPECT_EQ(from_pipe, from_file);
  EXPECT_EQ(from_pipe.itemname[0], u"Zo\u00EB");
}

}  // namespace
}  // namespace tavrino
