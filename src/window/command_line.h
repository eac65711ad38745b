// SPDX-License-Identifier: MIT
// The command line shared by the front-ends:
//   tavrino [--unicode] [FILE]  the window, with FILE opened as if chosen
//   tavrino --check FILE        check a data file, type nothing
//   tavrino --help | --version
#pragma once

#include <string>
#include <vector>

#include "sheet/file_reader.h"

namespace tavrino {

struct CommandLine {
  enum class Mode { window, check, help, version, usage_error };
  Mode mode = Mode::window;
  std::u16string file;   // window (may be empty) and check
  std::string error;     // usage_error: one sentence, UTF-8
  bool unicode = false;  // --unicode
};

// What the window is opened with.
struct WindowOptions {
  std::u16string file;  // loaded as if chosen with Open..., unless empty
  // Every character as the character itself rather than as a key of the
  // keyboard layout (on Windows, a Unicode packet); for a remote session
  // whose far end has another layout. A front-end whose keys do not depend
  // on it may ignore it.
  bool unicode = false;
  bool operator==(const WindowOptions&) const = default;
};

// `args` excludes the program name.
CommandLine parse_command_line(const std::vector<std::u16string>& args);

// The --help text (UTF-8, ends in "\n"); `program` as the user called it.
std::string help_text(const std::string& program);
// "tavrino 0.1.0\n"
std::string version_text();

// What a front-end does for the command line.
class FrontEnd {
 public:
  enum class Stream { out, err };
  virtual ~FrontEnd() = default;
  // Writes UTF-8 text to standard output or standard error, or shows it where
  // the program has neither.
  virtual void write(Stream stream, const std::string& utf8) = 0;
  // Reads data files for --check, as the window reads them.
  virtual const FileReader& file_reader() = 0;
  // Opens the window with `options` and runs until the window is closed.
  // Returns the exit code.
  virtual int run_window(const WindowOptions& options) = 0;
};

// Does what the command line `args` (without the program name) asks: help,
// version, --check or the window. `program` is the name the user called the
// program by, for --help. Returns the exit code: 2 for a usage error, the
// check's code for --check, the window's for the window, 0 otherwise.
int run_command_line(const std::vector<std::u16string>& args, const std::string& program,
                     FrontEnd& front_end);

}  // namespace tavrino
