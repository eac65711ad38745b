// SPDX-License-Identifier: MIT
#include "platform/posix/stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <initializer_list>

namespace tavrino {

namespace {

volatile std::sig_atomic_t pending = 0;
int pipe_ends[2] = {-1, -1};

void on_signal(int signal) {
  if (pending == 0) pending = signal;
  // Only write() is safe here. A full pipe already has the loop's attention.
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = write(pipe_ends[1], &byte, 1);
}

}  // namespace

int catch_stop_signals() {
  if (pipe_ends[0] >= 0) return pipe_ends[0];
  if (pipe2(pipe_ends, O_CLOEXEC | O_NONBLOCK) != 0) {
    pipe_ends[0] = pipe_ends[1] = -1;
    return -1;
  }
  struct sigaction action {};
  action.sa_handler = &on_signal;
  sigemptyset(&action.sa_mask);
  // Without SA_RESTART: a wait for the X server (poll) ends at once and
  // looks at the flag.
  action.sa_flags = 0;
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
  return pipe_ends[0];
}

int stop_signal_pending() {
  return pending;
}

void exit_for_signal(int signal) {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
  raise(signal);
  // A signal whose default action does not end the process.
  std::_Exit(128 + signal);
}

}  // namespace tavrino
