// SPDX-License-Identifier: MIT
// The command line shared by the front-ends:
//   tavrino [FILE]          the window, with FILE opened as if chosen
//   tavrino --check FILE    check a data file, type nothing
//   tavrino --help | --version
#pragma once

#include <string>
#include <vector>

namespace tavrino {

struct CommandLine {
  enum class Mode { window, check, help, version, usage_error };
  Mode mode = Mode::window;
  std::u16string file;  // window (may be empty) and check
  std::string error;    // usage_error: one sentence, UTF-8
};

// `args` excludes the program name.
CommandLine parse_command_line(const std::vector<std::u16string>& args);

// The --help text (UTF-8, ends in "\n"); `program` as the user called it.
std::string help_text(const std::string& program);
// "tavrino 0.1.0\n"
std::string version_text();

}  // namespace tavrino
