// SPDX-License-Identifier: MIT
#include "platform/posix/runtime_lock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/scratch_dir.h"

namespace tavrino {
namespace {

TEST(RuntimeLock, OnePlaybackAtATimeAndNoneLeftBehind) {
  ScratchDir dir;
  const std::string path = RuntimeLock::path_for(dir.path().c_str(), "wayland-1");
  RuntimeLock first;
  ASSERT_TRUE(first.take(path));

  // Another process cannot take it while the first holds it, and takes it
  // once that lets go.
  const auto other_process_takes = [&] {
    const pid_t child = fork();
    if (child == 0) {
      RuntimeLock other;
      _exit(other.take(path) ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  };
  EXPECT_FALSE(other_process_takes());
  first.release();
  EXPECT_TRUE(other_process_takes());

  // A process that dies holding it leaves it free.
  const pid_t holder = fork();
  if (holder == 0) {
    RuntimeLock held;
    (void)held.take(path);
    _exit(0);  // no destructor runs
  }
  waitpid(holder, nullptr, 0);
  EXPECT_TRUE(first.take(path));
}

TEST(RuntimeLock, NamedAfterTheDisplay) {
  const struct {
    const char* folder;
    const char* name;
    const char* path;
  } cases[] = {
      {"/run/user/1000", "wayland-1", "/run/user/1000/tavrino-typing-wayland-1.lock"},
      {nullptr, nullptr, "/tmp/tavrino-typing-wayland-0.lock"},
      {"relative", "/run/user/1000/wayland-2", "/tmp/tavrino-typing-wayland-2.lock"},
  };
  for (const auto& c : cases) EXPECT_EQ(RuntimeLock::path_for(c.folder, c.name), c.path);
}

}  // namespace
}  // namespace tavrino
