// SPDX-License-Identifier: MIT
#include "platform/portal/restore_token.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "base/scratch_dir.h"

namespace tavrino {
namespace {

TEST(RestoreToken, LivesUnderTheStateFolderOfTheXdgRules) {
  struct Case {
    const char* state_home;
    const char* home;
    const char* path;
  };
  const Case cases[] = {
      {"/state", "/home/ann", "/state/tavrino/remote-desktop-token"},
      {nullptr, "/home/ann", "/home/ann/.local/state/tavrino/remote-desktop-token"},
      // A relative XDG_STATE_HOME is to be ignored.
      {"state", "/home/ann", "/home/ann/.local/state/tavrino/remote-desktop-token"},
      {"", "/home/ann", "/home/ann/.local/state/tavrino/remote-desktop-token"},
      {nullptr, nullptr, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(restore_token_path(c.state_home, c.home), std::filesystem::path(c.path));
  }
}

TEST(RestoreToken, EachTokenReplacesTheOneBeforeAndOnlyItsOwnerCanReadIt) {
  const ScratchDir dir;
  const std::filesystem::path path = dir.path() / "state" / "tavrino" / "remote-desktop-token";
  EXPECT_EQ(read_restore_token(path), "");
  ASSERT_TRUE(write_restore_token(path, "first"));
  EXPECT_EQ(read_restore_token(path), "first");
  ASSERT_TRUE(write_restore_token(path, "second"));
  EXPECT_EQ(read_restore_token(path), "second");
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  // A session that gave no token leaves none behind.
  ASSERT_TRUE(write_restore_token(path, ""));
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(write_restore_token({}, "x"));
}

}  // namespace
}  // namespace tavrino
