// SPDX-License-Identifier: MIT
#include "platform/posix/read_answers.h"

#include <algorithm>

namespace tavrino {

namespace {

const ClientQueue* find(const ClientQueues& queues, std::uint32_t connection) {
  const auto it = std::lower_bound(
      queues.begin(), queues.end(), connection,
      [](const ClientQueue& queue, std::uint32_t wanted) { return queue.connection < wanted; });
  return it != queues.end() && it->connection == connection ? &*it : nullptr;
}

// Whether `connection` has read all it got, as `look` shows it.
bool read_all(std::uint32_t connection, const ClientQueues& look) {
  const ClientQueue* queue = find(look, connection);
  return queue != nullptr && !queue->closed && queue->unread == 0;
}

}  // namespace

void ReadAnswers::ask(std::size_t events, const Look& look, Clock::time_point now) {
  Question question;
  question.events = events;
  // Who got the keys is told by what changed while they went out; without
  // both looks that cannot be told.
  if (!look || !before_) {
    pace(question, now);
    open_.push_back(std::move(question));
    return;
  }
  for (const ClientQueue& queue : *look) {
    if (queue.unread == 0 || queue.closed) continue;
    const ClientQueue* before = find(*before_, queue.connection);
    if (before != nullptr && before->unread == queue.unread) continue;
    question.owing.push_back(queue.connection);
    const auto at = std::lower_bound(recipients_.begin(), recipients_.end(), queue.connection);
    if (at == recipients_.end() || *at != queue.connection) {
      recipients_.insert(at, queue.connection);
    }
  }
  open_.push_back(std::move(question));
}

std::size_t ReadAnswers::answered(const Look& look, Clock::time_point now) {
  if (look) {
    for (const std::uint32_t connection : recipients_) {
      const ClientQueue* queue = find(*look, connection);
      if (queue == nullptr || queue->closed) gone_ = true;
    }
  }
  for (Question& question : open_) {
    if (question.due) continue;
    if (!look) {
      pace(question, now);
      continue;
    }
    // Nothing unread now means everything sent before now has been read,
    // this question's keys among it.
    std::erase_if(question.owing,
                  [&](std::uint32_t connection) { return read_all(connection, *look); });
  }
  while (!open_.empty()) {
    const Question& question = open_.front();
    if (question.due ? *question.due > now : !question.owing.empty()) break;
    open_.pop_front();
    ++answered_;
  }
  return answered_;
}

void ReadAnswers::pace(Question& question, Clock::time_point now) {
  const Clock::time_point start = last_due_ ? std::max(now, *last_due_) : now;
  question.due = start + per_event_ * static_cast<Clock::rep>(question.events);
  last_due_ = question.due;
}

}  // namespace tavrino
