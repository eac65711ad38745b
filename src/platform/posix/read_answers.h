// SPDX-License-Identifier: MIT
// Whether the program that keys went to through a server (a Wayland
// compositor) has read them, decided from looks at how much each of the
// server's clients has not read yet (server_queues.h). The server passes
// the keys on to one client, which the looks cannot name, so a question
// asked after some keys is owed by every client whose queue changed while
// they went out and is not empty: it is answered once each of those has
// been seen with nothing unread. A client whose queue stayed as it was got
// none of them, so one that has stopped reading does not hold typing up.
//
// Where no look can be had, questions are answered at a pace instead: the
// keys of each are given `per_event` each after the later of the question
// and the answer before.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "platform/posix/server_queues.h"

namespace tavrino {

class ReadAnswers {
 public:
  using Clock = std::chrono::steady_clock;
  // A look at the server's clients, or none when it could not be had.
  using Look = std::optional<ClientQueues>;

  explicit ReadAnswers(Clock::duration per_event) : per_event_(per_event) {}

  // The look just before keys are sent.
  void before_send(const Look& look) { before_ = look; }

  // The look once the server has passed on what was sent since
  // before_send(), `events` events: asks whether they have been read.
  void ask(std::size_t events, const Look& look, Clock::time_point now);

  // How many of the questions have been answered, given a later look:
  // all those before the first one still owed, so an answer covers the
  // questions before it.
  std::size_t answered(const Look& look, Clock::time_point now);

  // A client that was seen getting keys has closed its connection, or the
  // server closed it: what it had not read is lost, and the questions it
  // owes stay unanswered.
  bool client_gone() const { return gone_; }

 private:
  struct Question {
    std::size_t events = 0;
    std::vector<std::uint32_t> owing;  // connections that have not read it
    // Where no look could be had: when it is taken as read.
    std::optional<Clock::time_point> due;
  };

  // Takes the question as read at the pace, from `now` on.
  void pace(Question& question, Clock::time_point now);

  Clock::duration per_event_;
  Look before_;
  std::deque<Question> open_;
  std::size_t answered_ = 0;
  std::optional<Clock::time_point> last_due_;
  std::vector<std::uint32_t> recipients_;  // every connection seen getting keys
  bool gone_ = false;
};

}  // namespace tavrino
