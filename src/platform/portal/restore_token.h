// SPDX-License-Identifier: MIT
// Where the remote-desktop portal's restore token is kept between runs. From
// version 2 on, the portal hands out a token with each granted session that
// lets the next session start without asking the user again; each token
// works once, so the new one replaces the old after every run.
#pragma once

#include <filesystem>
#include <string>

namespace tavrino {

// $XDG_STATE_HOME/tavrino/remote-desktop-token, or ~/.local/state/... when
// XDG_STATE_HOME is unset or not an absolute path (as the XDG base directory
// rules say); empty without a home either. The arguments are the values of
// those variables, null when unset.
std::filesystem::path restore_token_path(const char* xdg_state_home, const char* home);
// The same, from the environment.
std::filesystem::path restore_token_path();

// The stored token; empty when there is none or it cannot be read.
std::string read_restore_token(const std::filesystem::path& path);

// Stores `token` for the user alone (mode 0600), making the folder if need
// be; an empty token removes the file. Returns false when it could not.
bool write_restore_token(const std::filesystem::path& path, const std::string& token);

}  // namespace tavrino
