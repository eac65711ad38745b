// SPDX-License-Identifier: MIT
#include "platform/posix/server_queues.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "base/scratch_dir.h"

namespace tavrino {
namespace {

// A child process that carries out one-letter orders from the test and
// answers each with 'k' once done.
class Child {
 public:
  explicit Child(const std::function<void(char)>& on_order) {
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(pair[0]);
      char order = 0;
      while (read(pair[1], &order, 1) == 1 && order != 'q') {
        on_order(order);
        if (write(pair[1], "k", 1) != 1) break;
      }
      _exit(0);
    }
    close(pair[1]);
    control_ = pair[0];
  }
  ~Child() {
    quit();
    close(control_);
  }
  // Carries out `order`; false when the child did not.
  bool order(char order) {
    char done = 0;
    return write(control_, &order, 1) == 1 && read(control_, &done, 1) == 1 && done == 'k';
  }
  void quit() {
    if (pid_ <= 0) return;
    (void)write(control_, "q", 1);
    waitpid(pid_, nullptr, 0);
    pid_ = 0;
  }

 private:
  pid_t pid_ = 0;
  int control_ = -1;
};

int connect_to(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// What a look shows of the server's connections: "read", "unread" or
// "closed" for each, in alphabetical order.
std::vector<std::string> shown(ServerQueues& queues) {
  ClientQueues look;
  if (!queues.look(look)) return {"no look"};
  std::vector<std::string> shown;
  for (const ClientQueue& queue : look) {
    shown.push_back(queue.closed ? "closed" : queue.unread > 0 ? "unread" : "read");
  }
  std::sort(shown.begin(), shown.end());
  return shown;
}

TEST(ServerQueues, SeesWhatEachOtherClientHasNotReadYet) {
  ScratchDir dir;
  const std::string path = (dir.path() / "server").string();
  // The server listens itself: a socket's peer is the process that listened.
  int listener = -1;
  std::vector<int> accepted;
  Child server([&](char order) {
    if (order == 'l') {
      listener = socket(AF_UNIX, SOCK_STREAM, 0);
      sockaddr_un address{};
      address.sun_family = AF_UNIX;
      std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
      (void)bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address);
      (void)listen(listener, 8);
    } else if (order == 'a') {
      accepted.push_back(accept(listener, nullptr, nullptr));
    } else if (order == 'w') {
      // 4 KiB to the first client after the test's own connection.
      const std::string bytes(4096, 'x');
      (void)write(accepted.at(1), bytes.data(), bytes.size());
    }
  });
  ASSERT_TRUE(server.order('l'));
  const int own = connect_to(path);
  ASSERT_GE(own, 0);
  ASSERT_TRUE(server.order('a'));

  // Another program's client: it reads what is waiting when told.
  int client = -1;
  Child reader([&](char order) {
    if (order == 'c') client = connect_to(path);
    if (order == 'r') {
      char buffer[8192];
      (void)recv(client, buffer, sizeof buffer, MSG_DONTWAIT);
    }
  });
  ASSERT_TRUE(reader.order('c'));
  ASSERT_TRUE(server.order('a'));

  ServerQueues queues;
  ASSERT_TRUE(queues.open(own).ok());
  // The test's own connection and the listening socket are left out.
  EXPECT_EQ(shown(queues), std::vector<std::string>{"read"});
  ASSERT_TRUE(server.order('w'));
  EXPECT_EQ(shown(queues), std::vector<std::string>{"unread"});
  ASSERT_TRUE(reader.order('r'));
  EXPECT_EQ(shown(queues), std::vector<std::string>{"read"});

  // Clients that come later are seen once the connections are found again;
  // more of them than the kernel has room for the replies to at once.
  constexpr std::size_t kMany = 600;
  Child later([&](char order) {
    if (order == 'c') client = connect_to(path);
  });
  for (std::size_t i = 0; i < kMany; ++i) {
    ASSERT_TRUE(later.order('c'));
    ASSERT_TRUE(server.order('a'));
  }
  EXPECT_EQ(shown(queues).size(), 1u);
  ASSERT_TRUE(queues.refresh());
  EXPECT_EQ(shown(queues).size(), 1 + kMany);

  // A client that ends with bytes unread has closed its end.
  ASSERT_TRUE(server.order('w'));
  reader.quit();
  const std::vector<std::string> after = shown(queues);
  ASSERT_EQ(after.size(), 1 + kMany);
  EXPECT_EQ(after.front(), "closed");
  EXPECT_EQ(after[1], "read");
  close(own);
}

}  // namespace
}  // namespace tavrino
