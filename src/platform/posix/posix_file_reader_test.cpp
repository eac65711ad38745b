// SPDX-License-Identifier: MIT
#include "platform/posix/posix_file_reader.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
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

std::string text_of(const std::vector<std::byte>& bytes) {
  return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void write_all(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n <= 0) return;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
}

// A program on the other end of a pipe or FIFO: opens it with `open` (which
// may wait for the reader), then does `act` with the descriptor until it
// returns, and closes it unless told to keep it open until the end of the
// test.
class Writer {
 public:
  Writer(std::function<int()> open, std::function<void(int, const std::atomic<bool>&)> act,
         bool keep_open = false)
      : thread_([this, open, act, keep_open] {
          const int fd = open();
          if (fd < 0) return;
          act(fd, stop_);
          while (keep_open && !stop_) std::this_thread::sleep_for(milliseconds(10));
          ::close(fd);
        }) {}
  ~Writer() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_ = false;
  std::thread thread_;
};

struct Source {
  std::u16string path;
  std::unique_ptr<Writer> writer;  // none for files and devices
  std::vector<int> close_after;    // descriptors the test itself holds open
  ~Source() {
    writer.reset();
    for (int fd : close_after) ::close(fd);
  }
};

fs::path make_fifo(const ScratchDir& dir) {
  const fs::path path = dir.path() / "fifo.ipt";
  if (::mkfifo(path.c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed");
  return path;
}

// A FIFO whose writer does `act`.
void fifo_with(Source& source, const ScratchDir& dir,
               std::function<void(int, const std::atomic<bool>&)> act, bool keep_open = false) {
  const fs::path path = make_fifo(dir);
  source.path = path.u16string();
  source.writer = std::make_unique<Writer>(
      [path] { return ::open(path.c_str(), O_WRONLY | O_CLOEXEC); }, std::move(act), keep_open);
}

// An anonymous pipe named by /dev/fd/N, as "/dev/stdin" or "<(command)" is.
void pipe_with(Source& source, std::function<void(int, const std::atomic<bool>&)> act,
               bool keep_open = false) {
  int ends[2];
  if (::pipe(ends) != 0) throw std::runtime_error("pipe failed");
  source.path = utf8_to_utf16("/dev/fd/" + std::to_string(ends[0]));
  source.close_after.push_back(ends[0]);
  source.writer =
      std::make_unique<Writer>([fd = ends[1]] { return fd; }, std::move(act), keep_open);
}

const std::string kData = "1\nx\nAnn\n45\n";

using Make = std::function<void(Source&, const ScratchDir&)>;
using Act = std::function<void(int, const std::atomic<bool>&)>;

Make file(std::string content) {
  return
      [content](Source& s, const ScratchDir& d) { s.path = d.write("a.ipt", content).u16string(); };
}
Make named(std::u16string path) {
  return [path](Source& s, const ScratchDir&) { s.path = path; };
}
Make fifo(Act act, bool keep_open = false) {
  return [act, keep_open](Source& s, const ScratchDir& d) { fifo_with(s, d, act, keep_open); };
}
Act send(std::string data) {
  return [data](int fd, const std::atomic<bool>&) { write_all(fd, data); };
}

TEST(PosixFileReader, ReadsFilesPipesAndDevicesWithinLimits) {
  // "@" stands for the quoted path.
  const std::string too_large =
      "The file @ is larger than 4 KB, the most a data file may hold, so it is not read.";
  const std::string quiet =
      "Cannot read @: nothing arrived from it for 300 milliseconds, so it is given up.";
  const struct {
    const char* what;
    Make make;
    std::string content;  // read whole when `message` is empty
    std::string message;
  } cases[] = {
      {"regular file", file(kData), kData, ""},
      {"file at the limit", file(std::string(4096, 'x')), std::string(4096, 'x'), ""},
      {"file over the limit", file(std::string(4097, 'x')), "", too_large},
      {"sparse 4 GB file",
       [](Source& s, const ScratchDir& d) {
         const fs::path path = d.write("sparse.img", "3");
         fs::resize_file(path, std::uintmax_t{4} << 30);
         s.path = path.u16string();
       },
       "", too_large},
      {"name that is not UTF-8",
       [](Source& s, const ScratchDir& d) {
         s.path = path_from_bytes(d.write(std::string("Zo\xEB.ipt"), kData).native());
       },
       kData, ""},
      {"missing file", named(u"/nonexistent/none.ipt"), "",
       "Cannot open @: No such file or directory."},
      {"folder", named(u"/"), "", "Cannot open @: Is a directory."},
      {"FIFO without a writer",
       [](Source& s, const ScratchDir& d) { s.path = make_fifo(d).u16string(); }, "", quiet},
      {"FIFO written and closed", fifo(send(kData)), kData, ""},
      {"FIFO written in parts, then closed", fifo([](int fd, const std::atomic<bool>&) {
         for (const char c : kData) {
           write_all(fd, std::string(1, c));
           std::this_thread::sleep_for(milliseconds(5));
         }
       }),
       kData, ""},
      {"FIFO that stops sending without closing", fifo(send("1\nx\n"), true), "", quiet},
      {"FIFO that trickles on and on", fifo([](int fd, const std::atomic<bool>& stop) {
         while (!stop) {
           write_all(fd, "x");
           std::this_thread::sleep_for(milliseconds(20));
         }
       }),
       "",
       "Cannot read @: it did not deliver its whole content within 1200 milliseconds, so it is "
       "given up."},
      {"FIFO that sends more than the limit", fifo([](int fd, const std::atomic<bool>& stop) {
         // Stops when the reader has gone and the pipe breaks.
         while (!stop && ::write(fd, std::string(1000, 'x').data(), 1000) > 0) {
         }
       }),
       "", too_large},
      {"pipe whose writer sends nothing",
       [](Source& s, const ScratchDir&) { pipe_with(s, send(""), true); }, "", quiet},
      {"/dev/null", named(u"/dev/null"), "", ""},
      {"/dev/zero", named(u"/dev/zero"), "", too_large},
  };
  ::signal(SIGPIPE, SIG_IGN);
  const PosixFileReader reader(kLimits);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    Source source;
    c.make(source, dir);
    std::vector<std::byte> bytes{std::byte{'?'}};
    const Status status = reader.read_file(source.path, bytes);
    if (c.message.empty()) {
      EXPECT_TRUE(status.ok()) << utf16_to_utf8(status.message());
      EXPECT_EQ(text_of(bytes), c.content);
    } else {
      EXPECT_TRUE(bytes.empty());
      std::string message = c.message;
      message.replace(message.find('@'), 1, "\"" + utf16_to_utf8(source.path) + "\"");
      EXPECT_EQ(utf16_to_utf8(status.message()), message);
    }
  }
}

TEST(PosixFileReader, ASocketIsNoFile) {
  ScratchDir dir;
  const fs::path path = dir.path() / "socket";
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string name = path.native();
  if (fd < 0 || name.size() >= sizeof address.sun_path) GTEST_SKIP() << "no socket here";
  std::copy(name.begin(), name.end(), address.sun_path);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  std::vector<std::byte> bytes;
  const Status status = PosixFileReader().read_file(path.u16string(), bytes);
  ::close(fd);
  EXPECT_EQ(status.message(), not_a_file_message(path.u16string()));
}

// The whole way from a pipe to the sheet: what "/dev/stdin" gives is what
// the same file gives.
TEST(PosixFileReader, LoadsAPipeLikeTheFile) {
  const std::string file = "2\nx\nZo\xC3\xAB_%_Bob\n45_%_52\nx\nx\n7A\nx\nArt\nx\nFinal\nT3\n";
  ScratchDir dir;
  const PosixFileReader reader;
  ResultSheet from_file;
  ASSERT_TRUE(readfile(dir.write("f.ipt", file).u16string(), from_file, reader).ok());
  Source source;
  pipe_with(source, send(file));
  ResultSheet from_pipe;
  const Status status = readfile(source.path, from_pipe, reader);
  EXPECT_TRUE(status.ok()) << utf16_to_utf8(status.message());
  EXPECT_EQ(from_pipe, from_file);
  EXPECT_EQ(from_pipe.itemname[0], u"Zo\u00EB");
}

}  // namespace
}  // namespace tavrino
