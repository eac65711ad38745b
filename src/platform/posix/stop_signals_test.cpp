// SPDX-License-Identifier: MIT
#include "platform/posix/stop_signals.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

namespace tavrino {
namespace {

// Each case runs in a child process, since the handlers are for the whole
// process and a signal's default action ends it.
int child_status(void (*body)()) {
  const pid_t child = fork();
  if (child == 0) {
    body();
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return status;
}

TEST(StopSignals, ASignalIsNotedAndWakesTheLoopInsteadOfEndingTheProcess) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    static int sent;
    sent = signal;
    const int status = child_status([] {
      const int fd = catch_stop_signals();
      if (fd < 0 || stop_signal_pending() != 0) _exit(10);
      kill(getpid(), sent);
      // A second signal keeps the first as the one noted.
      kill(getpid(), sent == SIGTERM ? SIGINT : SIGTERM);
      pollfd readable{fd, POLLIN, 0};
      if (poll(&readable, 1, 5000) != 1) _exit(11);
      if (stop_signal_pending() != sent) _exit(12);
      _exit(0);
    });
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << signal;
    EXPECT_EQ(WEXITSTATUS(status), 0) << "signal " << signal;
  }
}

TEST(StopSignals, ExitForSignalEndsTheProcessAsThatSignalWould) {
  const int status = child_status([] {
    catch_stop_signals();
    kill(getpid(), SIGHUP);
    exit_for_signal(stop_signal_pending());
  });
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGHUP);
}

}  // namespace
}  // namespace tavrino
