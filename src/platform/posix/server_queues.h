// SPDX-License-Identifier: MIT
// How much of what a local server sent each of its clients is still unread,
// on Linux. The server is the process at the other end of one of our own
// Unix sockets (SO_PEERCRED names it); its connections are the sockets among
// its open files (/proc/PID/fd); the kernel's socket diagnostics (sock_diag,
// UNIX_DIAG_RQLEN) tell how much waits in each. A Wayland compositor tells a
// client nothing about the others; this is how a program that types through
// it learns whether the program the keys went to has read them.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <vector>

#include "base/status.h"

namespace tavrino {

// One of the server's connections.
struct ClientQueue {
  std::uint32_t connection = 0;  // the server's end, by its socket's inode
  // What the client has not read yet, in the kernel's accounting (the bytes
  // and what their buffers cost): 0 once it has read everything.
  std::uint32_t unread = 0;
  // The client has closed its end: what it had not read is lost.
  bool closed = false;
  bool operator==(const ClientQueue&) const = default;
};
// Ordered by connection.
using ClientQueues = std::vector<ClientQueue>;

class ServerQueues {
 public:
  ServerQueues() = default;
  ServerQueues(const ServerQueues&) = delete;
  ServerQueues& operator=(const ServerQueues&) = delete;
  ~ServerQueues();

  // Finds the server at the other end of `fd`, a connected Unix socket, and
  // its connections. Fails when the system does not tell: no socket
  // diagnostics, or a server whose open files cannot be read (another
  // user's, or one that keeps them private).
  Status open(int fd);

  // Finds the server's connections again: those opened since are looked at
  // from then on.
  bool refresh();

  // Each of the server's connections, leaving out those whose client is
  // this process (its own Wayland connections). False when the kernel did
  // not answer; `queues` is then empty.
  bool look(ClientQueues& queues);

 private:
  // The socket inodes among `pid`'s open files; false when they cannot be
  // read.
  static bool sockets_of(const char* pid, std::vector<std::uint32_t>& inodes);

  int netlink_ = -1;
  std::uint32_t sequence_ = 0;  // the last request's number
  pid_t server_ = 0;
  std::vector<std::uint32_t> connections_;  // the server's sockets to ask about
  std::vector<std::uint32_t> own_;          // this process's sockets
};

}  // namespace tavrino
