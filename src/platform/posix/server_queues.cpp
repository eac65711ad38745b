// SPDX-License-Identifier: MIT
#include "platform/posix/server_queues.h"

#include <dirent.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <linux/unix_diag.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

namespace tavrino {

namespace {

// Unix sockets borrow TCP's state numbers; a connected one is "established".
constexpr std::uint8_t kEstablished = 1;
// Any socket with that inode, whatever its cookie.
constexpr std::uint32_t kAnyCookie = ~0u;
// A kernel that does not answer within this is taken to have failed.
constexpr timeval kAnswerWait{1, 0};

struct Request {
  nlmsghdr header;
  unix_diag_req body;
};

// What the kernel said about one socket.
struct Answer {
  std::uint32_t inode = 0;
  std::uint32_t peer = 0;
  std::uint32_t unread = 0;
  bool closed = false;
  bool connected_stream = false;
};

Answer parse(const nlmsghdr* header) {
  Answer answer;
  const auto* message = static_cast<const unix_diag_msg*>(NLMSG_DATA(header));
  answer.inode = message->udiag_ino;
  answer.connected_stream =
      message->udiag_type == SOCK_STREAM && message->udiag_state == kEstablished;
  const char* at = reinterpret_cast<const char*>(message) + NLMSG_ALIGN(sizeof(unix_diag_msg));
  const char* end = reinterpret_cast<const char*>(header) + header->nlmsg_len;
  while (at + NLA_HDRLEN <= end) {
    nlattr attribute;
    std::memcpy(&attribute, at, sizeof attribute);
    if (attribute.nla_len < NLA_HDRLEN || at + attribute.nla_len > end) break;
    const char* payload = at + NLA_HDRLEN;
    const std::size_t size = attribute.nla_len - NLA_HDRLEN;
    if (attribute.nla_type == UNIX_DIAG_PEER && size >= sizeof(std::uint32_t)) {
      std::memcpy(&answer.peer, payload, sizeof(std::uint32_t));
    } else if (attribute.nla_type == UNIX_DIAG_RQLEN && size >= sizeof(unix_diag_rqlen)) {
      unix_diag_rqlen lengths;
      std::memcpy(&lengths, payload, sizeof lengths);
      // The server's end counts what it sent until the client has read it.
      answer.unread = lengths.udiag_wqueue;
    } else if (attribute.nla_type == UNIX_DIAG_SHUTDOWN && size >= 1) {
      // Set on our end when the client's end is gone (servers do not shut
      // down their own ends).
      answer.closed = *payload != 0;
    }
    at += NLA_ALIGN(attribute.nla_len);
  }
  return answer;
}

// Asks the kernel about each of `inodes` at once (one request each in one
// message); those it knows no Unix socket for are left out of `answers`.
bool ask_kernel_once(int netlink, std::uint32_t& sequence, std::span<const std::uint32_t> inodes,
                     std::vector<Answer>& answers) {
  const std::uint32_t first = sequence + 1;
  std::vector<Request> requests(inodes.size());
  for (std::size_t i = 0; i < inodes.size(); ++i) {
    Request& request = requests[i];
    request = {};
    request.header.nlmsg_len = sizeof(Request);
    request.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    request.header.nlmsg_flags = NLM_F_REQUEST;
    request.header.nlmsg_seq = ++sequence;
    request.body.sdiag_family = AF_UNIX;
    request.body.udiag_ino = inodes[i];
    request.body.udiag_show = UDIAG_SHOW_PEER | UDIAG_SHOW_RQLEN;
    request.body.udiag_cookie[0] = kAnyCookie;
    request.body.udiag_cookie[1] = kAnyCookie;
  }
  sockaddr_nl kernel{};
  kernel.nl_family = AF_NETLINK;
  const std::size_t size = requests.size() * sizeof(Request);
  if (sendto(netlink, requests.data(), size, 0, reinterpret_cast<const sockaddr*>(&kernel),
             sizeof kernel) != static_cast<ssize_t>(size)) {
    return false;
  }
  // One reply to each request, in order: the socket, or an error.
  std::size_t replies = 0;
  alignas(nlmsghdr) std::array<char, 32768> buffer;
  while (replies < inodes.size()) {
    const ssize_t got = recv(netlink, buffer.data(), buffer.size(), 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    int left = static_cast<int>(got);
    for (auto* header = reinterpret_cast<const nlmsghdr*>(buffer.data()); NLMSG_OK(header, left);
         header = NLMSG_NEXT(header, left)) {
      // A reply to an earlier batch that gave up waiting.
      if (header->nlmsg_seq < first || header->nlmsg_seq > sequence) continue;
      ++replies;
      if (header->nlmsg_type == SOCK_DIAG_BY_FAMILY &&
          header->nlmsg_len >= NLMSG_LENGTH(sizeof(unix_diag_msg))) {
        answers.push_back(parse(header));
      }
    }
  }
  return true;
}

// The same for any number: the kernel queues every reply to a message
// before we read one, and drops those that do not fit our socket's buffer,
// so a message asks about a few dozen at most.
bool ask_kernel(int netlink, std::uint32_t& sequence, const std::vector<std::uint32_t>& inodes,
                std::vector<Answer>& answers) {
  constexpr std::size_t kAtOnce = 64;
  answers.clear();
  const std::span<const std::uint32_t> all(inodes);
  for (std::size_t at = 0; at < all.size(); at += kAtOnce) {
    const auto part = all.subspan(at, std::min(kAtOnce, all.size() - at));
    if (!ask_kernel_once(netlink, sequence, part, answers)) return false;
  }
  return true;
}

}  // namespace

ServerQueues::~ServerQueues() {
  if (netlink_ >= 0) close(netlink_);
}

Status ServerQueues::open(int fd) {
  ucred peer{};
  socklen_t size = sizeof peer;
  if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.pid <= 0) {
    return Status::failure(u"The server at the other end of the socket is not known.");
  }
  server_ = peer.pid;
  netlink_ = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
  if (netlink_ < 0) return Status::failure(u"The kernel offers no socket diagnostics.");
  setsockopt(netlink_, SOL_SOCKET, SO_RCVTIMEO, &kAnswerWait, sizeof kAnswerWait);
  if (!refresh()) return Status::failure(u"The server's connections cannot be looked at.");
  return Status::success();
}

bool ServerQueues::sockets_of(const char* pid, std::vector<std::uint32_t>& inodes) {
  inodes.clear();
  const std::string folder = std::string("/proc/") + pid + "/fd";
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return false;
  constexpr std::string_view kSocket = "socket:[";
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    std::array<char, 64> target;
    const ssize_t length = readlinkat(dirfd(dir), entry->d_name, target.data(), target.size());
    if (length <= 0) continue;  // closed meanwhile
    const std::string_view link(target.data(), static_cast<std::size_t>(length));
    if (!link.starts_with(kSocket)) continue;
    std::uint32_t inode = 0;
    const char* digits = link.data() + kSocket.size();
    if (std::from_chars(digits, link.data() + link.size(), inode).ec == std::errc()) {
      inodes.push_back(inode);
    }
  }
  closedir(dir);
  std::sort(inodes.begin(), inodes.end());
  // A socket held twice (dup) is one connection.
  inodes.erase(std::unique(inodes.begin(), inodes.end()), inodes.end());
  return true;
}

bool ServerQueues::refresh() {
  std::vector<std::uint32_t> candidates;
  const std::string server = std::to_string(server_);
  if (!sockets_of(server.c_str(), candidates) || !sockets_of("self", own_)) return false;
  std::vector<Answer> answers;
  if (!ask_kernel(netlink_, sequence_, candidates, answers)) return false;
  connections_.clear();
  for (const Answer& answer : answers) {
    // Listening sockets and other kinds have no client to wait for; a
    // connection to this process is one it reads itself.
    if (!answer.connected_stream) continue;
    if (std::binary_search(own_.begin(), own_.end(), answer.peer)) continue;
    connections_.push_back(answer.inode);
  }
  std::sort(connections_.begin(), connections_.end());
  return true;
}

bool ServerQueues::look(ClientQueues& queues) {
  queues.clear();
  std::vector<Answer> answers;
  if (!ask_kernel(netlink_, sequence_, connections_, answers)) return false;
  for (const Answer& answer : answers) {
    if (answer.connected_stream) queues.push_back({answer.inode, answer.unread, answer.closed});
  }
  std::sort(queues.begin(), queues.end(),
            [](const ClientQueue& a, const ClientQueue& b) { return a.connection < b.connection; });
  return true;
}

}  // namespace tavrino
