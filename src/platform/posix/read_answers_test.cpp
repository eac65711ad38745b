// SPDX-License-Identifier: MIT
#include "platform/posix/read_answers.h"

#include <gtest/gtest.h>

#include <charconv>
#include <string>
#include <string_view>
#include <vector>

namespace tavrino {
namespace {

using std::chrono::milliseconds;

// "1:120 2:0 3:0x": connection 1 has 120 unread, 2 none, 3 is closed; "-"
// is no look at all.
ReadAnswers::Look look_of(std::string_view text) {
  if (text == "-") return std::nullopt;
  ClientQueues queues;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find(' '), text.size());
    const std::string_view item = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    ClientQueue queue;
    const std::size_t colon = item.find(':');
    std::from_chars(item.data(), item.data() + colon, queue.connection);
    std::from_chars(item.data() + colon + 1, item.data() + item.size(), queue.unread);
    queue.closed = item.back() == 'x';
    queues.push_back(queue);
  }
  return queues;
}

struct Step {
  enum Kind { before, ask, answered } kind;
  std::string_view look;
  int at_ms = 0;
  std::size_t events = 10;   // for ask
  std::size_t expected = 0;  // for answered: questions answered so far
  bool gone = false;         // for answered: a client the keys went to is gone
};

Step before(std::string_view look) {
  return {Step::before, look};
}
Step ask(std::string_view look, int at_ms = 0, std::size_t events = 10) {
  return {Step::ask, look, at_ms, events};
}
Step answered(std::string_view look, std::size_t expected, int at_ms = 0, bool gone = false) {
  return {Step::answered, look, at_ms, 0, expected, gone};
}

struct Case {
  const char* name;
  std::vector<Step> steps;
};

// Every case runs with 1 ms per event where it goes at the pace.
TEST(ReadAnswers, AnsweredOnlyOnceTheClientsTheKeysWentToHaveReadThem) {
  const Case cases[] = {
      {"the client the keys went to answers once it has read them all",
       {before("1:0 2:0"), ask("1:120 2:0"), answered("1:120 2:0", 0), answered("1:60 2:0", 0),
        answered("1:0 2:0", 1)}},
      {"a client that has stopped reading got none of the keys and holds nothing up",
       {before("1:0 2:500"), ask("1:120 2:500"), answered("1:0 2:500", 1)}},
      {"a client behind before the keys went out owes them too",
       {before("1:300"), ask("1:400"), answered("1:100", 0), answered("1:0", 1)}},
      {"a connection that came while the keys went out owes them",
       {before("1:0"), ask("1:0 3:90"), answered("1:0 3:90", 0), answered("1:0 3:0", 1)}},
      {"answers come in order: a later question read first waits for the one before",
       {before("1:0 2:0"), ask("1:100 2:0"), before("1:100 2:0"), ask("1:100 2:80"),
        answered("1:100 2:0", 0), answered("1:0 2:0", 2)}},
      {"one look with nothing unread answers every question asked before it",
       {before("1:0"), ask("1:100"), before("1:100"), ask("1:180"), answered("1:50", 0),
        answered("1:0", 2)}},
      {"a client that closes with keys unread: the question stays open, the client is gone",
       {before("1:0"), ask("1:200"), answered("1:0x", 0, 0, true), answered("", 0, 0, true)}},
      {"a connection the server closed: the client is gone",
       {before("1:0 2:0"), ask("1:200 2:0"), answered("2:0", 0, 0, true)}},
      {"a client that got none of the keys may close",
       {before("1:0 2:500"), ask("1:100 2:500"), answered("1:0", 1, 0, false)}},
      {"no looks: each question at the pace, after the one before",
       {before("-"), ask("-", 0, 10), answered("-", 0, 9), answered("-", 1, 10), ask("-", 12, 5),
        answered("-", 1, 16), answered("-", 2, 17), ask("-", 20, 10), ask("-", 21, 10),
        answered("-", 3, 39), answered("-", 4, 40)}},
      {"looks that stop working: open questions go at the pace from then",
       {before("1:0"), ask("1:100", 0, 10), answered("-", 0, 5), answered("-", 0, 14),
        answered("-", 1, 15)}},
      {"no look before the keys: who got them cannot be told, so the pace decides",
       {before("-"), ask("1:100", 0, 10), answered("1:100", 0, 9), answered("1:100", 1, 10)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ReadAnswers reads(milliseconds(1));
    const ReadAnswers::Clock::time_point start{};
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
      const Step& step = c.steps[i];
      SCOPED_TRACE("step " + std::to_string(i + 1));
      const auto now = start + milliseconds(step.at_ms);
      switch (step.kind) {
        case Step::before:
          reads.before_send(look_of(step.look));
          break;
        case Step::ask:
          reads.ask(step.events, look_of(step.look), now);
          break;
        case Step::answered:
          EXPECT_EQ(reads.answered(look_of(step.look), now), step.expected);
          EXPECT_EQ(reads.client_gone(), step.gone);
          break;
      }
    }
  }
}

}  // namespace
}  // namespace tavrino
